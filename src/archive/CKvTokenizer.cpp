#include "archive/CKvTokenizer.h"

#include <cstdint>
#include <limits>

#include "archive/ArchiveLimits.h"
#include "archive/ByteStream.h"
#include "archive/CKvTokenizerException.h"

namespace {

// Initial size of the token text buffer; it grows geometrically from there and is reused for
// every token.
constexpr std::size_t kInitialTextCapacity = 512;
// A length-prefixed run is read in pieces of at most this size, so that a length larger than
// what the input holds never makes the buffer grow beyond the bytes actually present.
constexpr std::size_t kRawReadPiece = 64 * 1024;

bool isSkippedAfterLineBreak(int c) {
    // NUL is skipped like white space here.
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 0;
}

bool endsTag(int c) {
    return c == '\n' || c == '\r' || c == '|' || c == '\f';
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Parses the decimal integer of a word: leading white space, an optional sign, then digits
// up to the end. The magnitude saturates just above the unsigned 32-bit range.
bool parseDecimal(std::string_view s, bool& negative, std::uint64_t& magnitude) {
    negative = false;
    magnitude = 0;
    if (s.empty()) {
        return true;
    }
    std::size_t i = 0;
    while (i < s.size() && isSpace(s[i])) {
        ++i;
    }
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    std::size_t digits = i;
    constexpr std::uint64_t kCap = std::uint64_t{1} << 33;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        if (magnitude < kCap) {
            magnitude = magnitude * 10 + static_cast<std::uint64_t>(s[i] - '0');
        }
        ++i;
    }
    return i > digits && i == s.size();
}

// The error for a token text beyond kMaxTokenBytes.
CKvTokenizerException tooLong(TokenKind kind) {
    std::string limit = std::to_string(kMaxTokenBytes);
    if (kind == TokenKind::Tag) {
        return CKvTokenizerException(kTokBadTag, "(tag longer than " + limit + " bytes)");
    }
    return CKvTokenizerException(kTokBadCharacter, "(word longer than " + limit + " bytes)");
}

}  // namespace

CKvTokenizer::CKvTokenizer(ByteStream& source) : source_(&source) {
    text_.reserve(kInitialTextCapacity);
}

void CKvTokenizer::attach(ByteStream& source) {
    source_ = &source;
    kind_ = TokenKind::StreamSeparator;
    text_.clear();
    lookahead_ = -1;
    consumed_ = true;
}

void CKvTokenizer::append(int byte) {
    if (text_.size() >= kMaxTokenBytes) {
        throw tooLong(kind_);
    }
    text_.push_back(static_cast<char>(byte));
}

void CKvTokenizer::nextToken() {
    if (!consumed_) {
        consumed_ = true;
        return;
    }
    text_.clear();
    int c = lookahead_;
    lookahead_ = -1;
    if (c < 0) {
        c = source_->readByte();
    }
    if (c < 0) {
        kind_ = TokenKind::StreamSeparator;  // end of input
        return;
    }
    switch (c) {
        case '\n':
        case '\r':
            kind_ = TokenKind::Tag;
            readTagText();
            return;
        case '\f':
            kind_ = TokenKind::StreamSeparator;
            text_.push_back('\f');
            return;
        case '|':
            kind_ = TokenKind::Word;
            readWordBody();
            return;
        default:
            kind_ = TokenKind::StreamSeparator;
            throw CKvTokenizerException(kTokBadCharacter);
    }
}

void CKvTokenizer::readTagText() {
    int c;
    do {
        c = source_->readByte();
    } while (isSkippedAfterLineBreak(c));
    if (c < 0) {
        throw CKvTokenizerException(kTokBadTag);
    }
    while (c >= 0) {
        if (endsTag(c)) {
            lookahead_ = c;
            return;
        }
        if (c == 0) {
            return;  // a NUL ends the tag and is dropped
        }
        append(c);
        c = source_->readByte();
    }
}

void CKvTokenizer::readWordBody() {
    int c = source_->readByte();
    while (c >= 0) {
        if (c == '|' || c == '\n' || c == '\r' || c == '\f') {
            lookahead_ = c;
            return;
        }
        if (c == '\\') {
            readEscape();
        } else {
            append(c);
        }
        c = source_->readByte();
    }
}

void CKvTokenizer::readEscape() {
    bool haveNumber = false;
    std::size_t number = 0;
    for (;;) {
        int e = source_->readByte();
        if (e < 0) {
            throw CKvTokenizerException(kTokBadCharacter);
        }
        if (e >= '0' && e <= '9') {
            haveNumber = true;
            number = number * 10 + static_cast<std::size_t>(e - '0');
            if (number > kMaxTokenBytes - text_.size()) {
                throw tooLong(TokenKind::Word);
            }
            continue;
        }
        if (haveNumber) {
            if (e != ':') {
                throw CKvTokenizerException(kTokBadCharacter);
            }
            // Read the raw run piece by piece: the buffer only grows by bytes that exist.
            while (number > 0) {
                std::size_t piece = number < kRawReadPiece ? number : kRawReadPiece;
                std::size_t old = text_.size();
                text_.resize(old + piece);
                std::size_t got = source_->read(&text_[old], piece);
                if (got < piece) {
                    text_.resize(old + got);
                    throw CKvTokenizerException(kTokBadCharacter);
                }
                number -= piece;
            }
            return;
        }
        switch (e) {
            case '\\':
                append('\\');
                return;
            case 'f':
                append('\f');
                return;
            case 'n':
                append('\n');
                return;
            case 'r':
                append('\r');
                return;
            case 'v':
                append('|');
                return;
            default:
                throw CKvTokenizerException(kTokBadCharacter);
        }
    }
}

std::string_view CKvTokenizer::readTagView() {
    nextToken();
    if (kind_ != TokenKind::Tag) {
        throw CKvTokenizerException(kTokTagExpected);
    }
    return text_;
}

std::string_view CKvTokenizer::readWordView() {
    nextToken();
    if (kind_ != TokenKind::Word) {
        throw CKvTokenizerException(kTokWordExpected);
    }
    return text_;
}

std::int32_t CKvTokenizer::readInteger() {
    nextToken();
    bool negative;
    std::uint64_t magnitude;
    if (kind_ != TokenKind::Word || !parseDecimal(text_, negative, magnitude)) {
        throw CKvTokenizerException(kTokIntegerExpected);
    }
    constexpr std::uint64_t kMaxPositive = std::numeric_limits<std::int32_t>::max();
    if (negative) {
        if (magnitude > kMaxPositive + 1) {
            return std::numeric_limits<std::int32_t>::min();
        }
        return static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
    }
    return magnitude > kMaxPositive ? std::numeric_limits<std::int32_t>::max()
                                    : static_cast<std::int32_t>(magnitude);
}

std::uint32_t CKvTokenizer::readUnsigned() {
    nextToken();
    bool negative;
    std::uint64_t magnitude;
    if (kind_ != TokenKind::Word || !parseDecimal(text_, negative, magnitude)) {
        throw CKvTokenizerException(kTokIntegerExpected);
    }
    if (magnitude > std::numeric_limits<std::uint32_t>::max()) {
        return std::numeric_limits<std::uint32_t>::max();
    }
    auto value = static_cast<std::uint32_t>(magnitude);
    return negative ? static_cast<std::uint32_t>(0u - value) : value;
}

bool CKvTokenizer::peekTag(std::string& text) {
    nextToken();
    ungetToken();
    if (kind_ != TokenKind::Tag) {
        return false;
    }
    text = text_;
    return true;
}

bool CKvTokenizer::peekTagIs(std::string_view expected) {
    nextToken();
    ungetToken();
    return kind_ == TokenKind::Tag && std::string_view(text_) == expected;
}

TokenKind CKvTokenizer::tokenBytes(std::string& out) {
    nextToken();
    out.assign(text_);
    return kind_;
}
