#include "archive/CKvTokenizerException.h"

namespace {

const char* const kMessages[] = {
    "No error message available.",
    "Unexpected end of file encountered while reading array of bytes.",
    "Bad character after reading array of bytes. \"|\" or \"\\n\" expected.",
    "Bad text tag.",
    "Unexpected input. Tag was Expected.",
    "Unexpected input. Word was Expected.",
    "Unexpected input. Integer was Expected.",
    "Unexpected input. Number was Expected.",
    "Unexpected input. StreamSeparator was Expected.",
};

std::string compose(std::int32_t code, const std::string& detail) {
    std::string text = CKvTokenizerException::messageText(code);
    if (!detail.empty()) {
        text += ' ';
        text += detail;
    }
    return text;
}

}  // namespace

const char* CKvTokenizerException::messageText(std::int32_t code) {
    if (code < 0 || code >= static_cast<std::int32_t>(sizeof kMessages / sizeof kMessages[0])) {
        return kMessages[0];
    }
    return kMessages[code];
}

CKvTokenizerException::CKvTokenizerException(std::int32_t code, std::string detail)
    : CException(compose(code, detail)), code_(code), detail_(std::move(detail)) {}
