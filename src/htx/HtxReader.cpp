#include "htx/HtxReader.h"

#include <cstring>
#include <utility>

namespace {

// Byte classes of the reader, one bit each, looked up in one table.
enum : unsigned char {
    kTrimSpace = 1,         // blank, tab, line feed, carriage return
    kEndsUnquoted = 2,      // ends a token that began without a quote
    kEndsSingleQuoted = 4,  // ends a token that began with '
    kEndsDoubleQuoted = 8,  // ends a token that began with "
};

struct ByteClasses {
    unsigned char of[256] = {};

    constexpr ByteClasses() {
        for (unsigned char c : {' ', '\t', '\n', '\r'}) {
            of[c] |= kTrimSpace | kEndsUnquoted;
        }
        for (unsigned char c : {'\'', '%', '<', '>', '"'}) {
            of[c] |= kEndsUnquoted;
        }
        for (unsigned char c : {'\'', '%', '<', '>', '\t', '\n', '\r'}) {
            of[c] |= kEndsSingleQuoted;
        }
        for (unsigned char c : {'"', '\n', '\r'}) {
            of[c] |= kEndsDoubleQuoted;
        }
    }
};

constexpr ByteClasses kClasses;

bool Is(int c, unsigned char classes) {
    return (kClasses.of[static_cast<unsigned char>(c)] & classes) != 0;
}

}  // namespace

HtxReader::HtxReader(HtxText text) {
    const std::size_t size = text->size();
    current_ = Frame{std::move(text), 0, size};
}

int HtxReader::GetPastEnd() {
    for (;;) {
        if (current_.pos < current_.limit) {
            const unsigned char c = static_cast<unsigned char>((*current_.text)[current_.pos++]);
            if (c != 0) {
                return c;
            }
            continue;
        }
        if (suspended_.size() > floor_) {
            current_ = std::move(suspended_.back());
            suspended_.pop_back();
            continue;
        }
        end_ = true;
        return kEnd;
    }
}

void HtxReader::CopyPlainRun(HtxOutput* out, bool* afterSpace) {
    const char* text = current_.text->data();
    const char* begin = text + current_.pos;
    // A "<" with a byte other than "%" or NUL after it in the same text goes out with that byte,
    // as CopyLiteral would send the pair: the run goes on after the pair. HTML's many tags then
    // cost no call each.
    std::size_t end = current_.pos;
    for (;;) {
        const void* open = std::memchr(text + end, '<', current_.limit - end);
        if (open == nullptr) {
            end = current_.limit;
            break;
        }
        end = static_cast<std::size_t>(static_cast<const char*>(open) - text);
        if (end + 1 >= current_.limit || text[end + 1] == '%' || text[end + 1] == '\0') {
            break;
        }
        end += 2;
    }
    std::size_t length = end - current_.pos;
    if (const void* nul = std::memchr(begin, '\0', length)) {
        length = static_cast<std::size_t>(static_cast<const char*>(nul) - begin);
    }
    current_.pos += length;
    if (out == nullptr || length == 0) {
        if (afterSpace != nullptr && length > 0) {
            *afterSpace = Is(begin[length - 1], kTrimSpace);
        }
        return;
    }
    if (afterSpace == nullptr) {
        out->Write(std::string_view(begin, length));
        return;
    }
    // The bytes between two left-out spaces go out at once.
    std::size_t run = 0;
    bool space = *afterSpace;
    for (std::size_t i = 0; i < length; ++i) {
        if (!Is(begin[i], kTrimSpace)) {
            space = false;
        } else if (!space) {
            space = true;
        } else {
            out->Write(std::string_view(begin + run, i - run));
            run = i + 1;
        }
    }
    out->Write(std::string_view(begin + run, length - run));
    *afterSpace = space;
}

bool HtxReader::CopyLiteral(HtxOutput* out, bool trimSpace) {
    bool afterSpace = false;
    for (;;) {
        CopyPlainRun(out, trimSpace ? &afterSpace : nullptr);
        const int c = Get();
        if (c == kEnd) {
            return false;
        }
        if (c == '<') {
            // The place is taken now: the next byte may come from a resumed text.
            const HtxPlace start{current_.text.get(), current_.pos - 1, suspended_.size()};
            const int next = Get();
            if (next == kEnd) {
                return false;
            }
            if (next == '%') {
                directiveStart_ = start;
                return true;
            }
            if (out) {
                out->Put('<');
                out->Put(static_cast<char>(next));
            }
            afterSpace = Is(next, kTrimSpace);
            continue;
        }
        const bool space = Is(c, kTrimSpace);
        if (out && !(trimSpace && space && afterSpace)) {
            out->Put(static_cast<char>(c));
        }
        afterSpace = space;
    }
}

HtxToken HtxReader::ReadToken() {
    HtxToken token;
    int c = Get();
    if (c == kEnd || c == '%') {
        token.end = c;
        return token;
    }
    unsigned char ends = kEndsUnquoted;
    if (c == '\'') {
        token.quote = HtxQuote::Single;
        ends = kEndsSingleQuoted;
        c = Get();
    } else if (c == '"') {
        token.quote = HtxQuote::Double;
        ends = kEndsDoubleQuoted;
        c = Get();
    }
    for (; c != kEnd && !Is(c, ends); c = Get()) {
        token.text.push_back(static_cast<char>(c));
        // The rest of the token as far as the current text holds it, at once; Get() then deals
        // with a NUL byte or the end of the text.
        const char* text = current_.text->data();
        std::size_t end = current_.pos;
        while (end < current_.limit && text[end] != '\0' && !Is(text[end], ends)) {
            ++end;
        }
        token.text.append(text + current_.pos, end - current_.pos);
        current_.pos = end;
    }
    token.end = c;
    return token;
}

void HtxReader::SkipToDirectiveEnd() {
    for (int c = Get(); c != kEnd && c != '>'; c = Get()) {
    }
}

HtxMark HtxReader::Here() const {
    return HtxMark{current_.text, current_.pos, current_.limit, suspended_.size()};
}

void HtxReader::Include(HtxText text) {
    suspended_.push_back(std::move(current_));
    const std::size_t size = text->size();
    current_ = Frame{std::move(text), 0, size};
}

HtxReader::DetailPass::DetailPass(HtxReader& reader, const HtxMark& start, std::size_t end)
    : reader_(reader),
      savedText_(std::move(reader.current_.text)),
      savedPos_(reader.current_.pos),
      savedLimit_(reader.current_.limit),
      savedFloor_(reader.floor_),
      savedEnd_(reader.end_) {
    reader_.current_ = Frame{start.text, start.pos, end};
    reader_.floor_ = reader_.suspended_.size();
    reader_.end_ = false;
}

HtxReader::DetailPass::~DetailPass() {
    // Texts included by the body and not yet used up (the pass was cut short) are dropped.
    reader_.suspended_.resize(reader_.floor_);
    reader_.current_ = Frame{std::move(savedText_), savedPos_, savedLimit_};
    reader_.floor_ = savedFloor_;
    reader_.end_ = savedEnd_;
}
