// CKvUntokenizer: writes archive tokens as bytes onto a ByteStream (not owned; it must
// outlive the untokenizer).
//
//   writeTag("obj")      {CR}{LF}obj          the text unchanged: callers pass no line breaks,
//                                             bars or form feeds
//   writeWord("a|b")     |a\vb                escaped form up to 20 bytes; from 21 bytes the
//                                             length-prefixed form |\21:<21 raw bytes>
//   writeInteger(-5)     |-5
//   nextToken(kind, b)   replays a token read by a tokenizer: Tag as {LF} and the bytes, Word
//                        as a bar and the bytes in the escaped form whatever their length;
//                        other kinds raise CKvTokenizerException code 2
#pragma once

#include <cstdint>
#include <string_view>

#include "archive/CKvTokenizer.h"

class ByteStream;

class CKvUntokenizer {
  public:
    explicit CKvUntokenizer(ByteStream& dest) : dest_(&dest) {}
    CKvUntokenizer(const CKvUntokenizer&) = delete;
    CKvUntokenizer& operator=(const CKvUntokenizer&) = delete;

    void writeTag(std::string_view text);
    void writeWord(std::string_view text);
    void writeInteger(std::int32_t value);
    void nextToken(TokenKind kind, std::string_view bytes);

    ByteStream& stream() { return *dest_; }

  private:
    void writeEscaped(std::string_view text);

    ByteStream* dest_;
};
