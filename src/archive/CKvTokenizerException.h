// CKvTokenizerException: malformed token text, or a token of another kind than required.
// Error text: the message of the code, then a space and the detail when there is one.
#pragma once

#include <cstdint>
#include <string>

#include "archive/CException.h"

enum TokenizerError : std::int32_t {
    kTokNoError = 0,
    kTokUnexpectedEof = 1,
    kTokBadCharacter = 2,
    kTokBadTag = 3,
    kTokTagExpected = 4,
    kTokWordExpected = 5,
    kTokIntegerExpected = 6,
    kTokNumberExpected = 7,
    kTokSeparatorExpected = 8,
};

class CKvTokenizerException : public CException {
  public:
    explicit CKvTokenizerException(std::int32_t code, std::string detail = std::string());

    std::int32_t code() const { return code_; }
    const std::string& detail() const { return detail_; }

    // The message table text of `code` ("No error message available." for unknown codes).
    static const char* messageText(std::int32_t code);

  private:
    std::int32_t code_;
    std::string detail_;
};
