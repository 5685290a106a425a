// CKvTokenizer: turns the bytes of a ByteStream into the tokens of the archive text.
//
//   Tag    a line break ({LF} or {CR}), any run of space, {TAB}, {LF}, {CR}, then the tag text
//          up to the next {LF}, {CR}, bar or {FF} (not included)
//   Word   a bar, then the body up to the next bar, {LF}, {CR} or {FF}; escapes \\ \f \n \r
//          \v (bar) and the length-prefixed run \N: followed by N raw bytes
//   kind 0 a single {FF} (StreamSeparator, text "\f"), or the end of the input (empty text)
//
// The delimiter that ends a token is not consumed. Malformed text raises
// CKvTokenizerException; the tokenizer is then abandoned. The stream is not owned and must
// outlive the tokenizer; it is read byte by byte and never beyond the current token's end
// delimiter, so the tokenizer may stop anywhere without having swallowed later bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class ByteStream;

enum class TokenKind : int {
    StreamSeparator = 0,  // also the kind of the end of the input
    Tag = 1,
    Word = 2,
};

class CKvTokenizer {
  public:
    explicit CKvTokenizer(ByteStream& source);
    CKvTokenizer(const CKvTokenizer&) = delete;
    CKvTokenizer& operator=(const CKvTokenizer&) = delete;

    // Starts again on `source`, as a new tokenizer would.
    void attach(ByteStream& source);

    // Advances to the next token (or delivers the current one again after ungetToken).
    void nextToken();
    // The next advance delivers the current token once more.
    void ungetToken() { consumed_ = false; }

    // The current token.
    TokenKind kind() const { return kind_; }
    // Its exact bytes; valid until the next advance.
    std::string_view bytes() const { return text_; }
    // Its text as a C string; stops at an embedded NUL. Valid until the next advance.
    const char* text() const { return text_.c_str(); }

    // Advance and require a Tag (code 4) or a Word (code 5); return its text.
    std::string readTag() { return std::string(readTagView()); }
    std::string readWord() { return std::string(readWordView()); }
    // The same without a copy; the view is valid until the next advance.
    std::string_view readTagView();
    std::string_view readWordView();

    // Advance and require a Word holding a decimal integer (code 6): optional leading white
    // space, optional sign, digits, nothing after; an empty word is 0. Out-of-range values
    // saturate; readUnsigned takes a minus sign as negation modulo 2^32 ("-1" is 4294967295).
    std::int32_t readInteger();
    std::uint32_t readUnsigned();

    // Looks at the next token without consuming it: true with its text when it is a Tag.
    bool peekTag(std::string& text);
    // Looks at the next token: true when it is the Tag `expected`.
    bool peekTagIs(std::string_view expected);

    // Advances, copies the token's exact bytes into `out` and returns its kind.
    TokenKind tokenBytes(std::string& out);

  private:
    void readTagText();
    void readWordBody();
    void readEscape();
    void append(int byte);

    ByteStream* source_;
    TokenKind kind_ = TokenKind::StreamSeparator;
    std::string text_;
    int lookahead_ = -1;  // -1: none
    bool consumed_ = true;
};
