// The byte reader of a processing run: the current text, the texts suspended by includes, the
// tokens of directives and the literal text between them.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "htx/HtxOutput.h"

using HtxText = std::shared_ptr<const std::string>;

// How a token began: unquoted, with a single quote or with a double quote.
enum class HtxQuote { None = 0, Single = 1, Double = 2 };

struct HtxToken {
    static constexpr int kEndOfInput = -1;

    std::string text;
    HtxQuote quote = HtxQuote::None;
    int end = kEndOfInput;  // the byte that ended the token (consumed), or kEndOfInput
};

// A place in a text: where a detail body starts or ends.
struct HtxMark {
    HtxText text;
    std::size_t pos = 0;    // index of the byte
    std::size_t limit = 0;  // end of the readable part of the text
    std::size_t depth = 0;  // number of texts suspended by includes at that moment
};

// Where a directive began: its text (compared, never read through), the index of its "<", and
// the number of texts suspended by includes at that moment.
struct HtxPlace {
    const std::string* text = nullptr;
    std::size_t pos = 0;
    std::size_t depth = 0;
};

class HtxReader {
  public:
    // Includes nested deeper than this are refused like a file that cannot be opened; it also
    // stops a file that includes itself.
    static constexpr std::size_t kMaxIncludeDepth = 8;

    static constexpr int kEnd = -1;

    explicit HtxReader(HtxText text);

    // The next byte (0..255), skipping NUL bytes. At the end of an included text the including
    // text resumes and the included one is released; at the end of everything (or of the
    // current detail body) the end-of-input flag is set and kEnd returned.
    int Get() {
        if (current_.pos < current_.limit) {
            const unsigned char c = static_cast<unsigned char>((*current_.text)[current_.pos]);
            if (c != 0) {
                ++current_.pos;
                return c;
            }
        }
        return GetPastEnd();
    }
    bool AtEnd() const { return end_; }

    // Copies literal text to out (null: just passes over it) up to the next "<%", and returns
    // true there, with the "<%" consumed; false at the end of input. A "<" not followed by "%"
    // goes out with the byte after it, that byte exempt from trimming; a "<" as the last byte
    // is dropped. With trim_space, a blank, tab, line feed or carriage return that follows
    // another one within this stretch is left out.
    bool CopyLiteral(HtxOutput* out, bool trimSpace);

    // Where the "<" of the "<%" last found by CopyLiteral stands.
    const HtxPlace& DirectiveStart() const { return directiveStart_; }

    // Reads one token of a directive.
    HtxToken ReadToken();

    // Reads up to and including the next ">", whatever comes before it.
    void SkipToDirectiveEnd();

    // The place of the next byte in the current text.
    HtxMark Here() const;

    // Room for one more level of inclusion.
    bool CanInclude() const { return suspended_.size() < kMaxIncludeDepth; }
    // Continues reading at the start of the text; where it ends, the current text resumes.
    void Include(HtxText text);

    // Reads one pass of a detail body [start.pos, end) of start.text for the life of the object.
    // The end of the body ends the pass (the flag is set) and never resumes an including text;
    // afterwards the reader is back where it was, end-of-input flag included.
    class DetailPass {
      public:
        DetailPass(HtxReader& reader, const HtxMark& start, std::size_t end);
        ~DetailPass();
        DetailPass(const DetailPass&) = delete;
        DetailPass& operator=(const DetailPass&) = delete;

      private:
        HtxReader& reader_;
        HtxText savedText_;
        std::size_t savedPos_, savedLimit_, savedFloor_;
        bool savedEnd_;
    };

  private:
    // Get() where the current text has no byte to give at once: a NUL byte, or its end.
    int GetPastEnd();

    // Writes the bytes of the current text from the reading position up to the first NUL byte,
    // "<" that may open a directive (one before "%", a NUL byte or the text's end) or the end,
    // and moves past them. With afterSpace (whether the byte before was a blank, tab, line feed
    // or carriage return; kept up to date), such a byte that follows another is left out.
    void CopyPlainRun(HtxOutput* out, bool* afterSpace);

    struct Frame {
        HtxText text;
        std::size_t pos = 0;
        std::size_t limit = 0;
    };

    Frame current_;
    std::vector<Frame> suspended_;  // texts suspended by includes, outermost first
    std::size_t floor_ = 0;         // suspended texts below this belong to an outer detail pass
    bool end_ = false;
    HtxPlace directiveStart_;
};
