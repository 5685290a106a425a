#include "archive/CKvUntokenizer.h"

#include <cstdio>

#include "archive/ByteStream.h"
#include "archive/CKvTokenizerException.h"

namespace {

// Words up to this length are written escaped; longer ones length-prefixed.
constexpr std::size_t kLongestEscapedWord = 20;

// The escape of a byte that cannot stand for itself in a word, or null.
const char* escapeOf(char c) {
    switch (c) {
        case '\n':
            return "\\n";
        case '\f':
            return "\\f";
        case '\r':
            return "\\r";
        case '\\':
            return "\\\\";
        case '|':
            return "\\v";
        default:
            return nullptr;
    }
}

}  // namespace

void CKvUntokenizer::writeTag(std::string_view text) {
    dest_->write("\r\n", 2);
    dest_->write(text);
}

void CKvUntokenizer::writeEscaped(std::string_view text) {
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char* esc = escapeOf(text[i]);
        if (esc != nullptr) {
            dest_->write(text.data() + runStart, i - runStart);
            dest_->write(esc, 2);
            runStart = i + 1;
        }
    }
    dest_->write(text.data() + runStart, text.size() - runStart);
}

void CKvUntokenizer::writeWord(std::string_view text) {
    if (text.size() > kLongestEscapedWord) {
        char prefix[32];
        int n = std::snprintf(prefix, sizeof prefix, "|\\%zu:", text.size());
        dest_->write(prefix, static_cast<std::size_t>(n));
        dest_->write(text);
        return;
    }
    dest_->write("|", 1);
    writeEscaped(text);
}

void CKvUntokenizer::writeInteger(std::int32_t value) {
    char number[16];
    int n = std::snprintf(number, sizeof number, "%d", static_cast<int>(value));
    writeWord(std::string_view(number, static_cast<std::size_t>(n)));
}

void CKvUntokenizer::nextToken(TokenKind kind, std::string_view bytes) {
    switch (kind) {
        case TokenKind::Tag:
            dest_->write("\n", 1);
            dest_->write(bytes);
            return;
        case TokenKind::Word:
            dest_->write("|", 1);
            writeEscaped(bytes);
            return;
        default:
            throw CKvTokenizerException(kTokBadCharacter, "in CKvUntokenizer::nextToken");
    }
}
