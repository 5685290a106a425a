#include <cstring>

#include "QuarInet.h"
#include "inet/HeaderSearch.h"

bool QuarInetGetHeaderValue(const char* headers, const char* name, char* out, int size) {
    if (out == nullptr || size <= 0) {
        return false;
    }
    const char* match = inet::FindHeaderLine(headers, name);
    if (match == nullptr) {
        return false;
    }
    const char* value = match + std::strlen(name);
    while (*value == ' ') {
        ++value;
    }
    if (*value == '\0') {
        return false;
    }
    const char* end = std::strstr(value, "\r\n");
    size_t length = end != nullptr ? static_cast<size_t>(end - value) : std::strlen(value);
    if (length > static_cast<size_t>(size) - 1) {
        length = static_cast<size_t>(size) - 1;
    }
    std::memcpy(out, value, length);
    out[length] = '\0';
    return true;
}

bool QuarInetGetLocation(const char* headers, char* out, int size) {
    return QuarInetGetHeaderValue(headers, "Location:", out, size);
}

char* QuarInetRemoveHeader(char* headers, uint32_t& length, const char* name) {
    char* match = inet::FindHeaderLine(headers, name);
    if (match == nullptr) {
        return nullptr;
    }
    size_t removed;
    if (char* lineEnd = std::strstr(match, "\r\n")) {
        char* rest = lineEnd + 2;
        removed = static_cast<size_t>(rest - match);
        std::memmove(match, rest, std::strlen(rest) + 1);
    } else {
        removed = std::strlen(match);
        *match = '\0';
    }
    // A length that disagrees with the text is recounted rather than wrapped below zero.
    length = removed <= length ? length - static_cast<uint32_t>(removed)
                               : static_cast<uint32_t>(std::strlen(headers));
    return match;
}

char* QuarInetAppendHeader(char* headers, uint32_t& length, const char* line) {
    if (headers == nullptr || line == nullptr) {
        return nullptr;
    }
    size_t lineLength = std::strlen(line);
    // The closing blank line follows the last header line, or is all there is of a block whose
    // only header was removed.
    char* at = nullptr;
    if (std::strncmp(headers, "\r\n", 2) == 0) {
        at = headers;
    } else if (char* blank = std::strstr(headers, "\r\n\r\n")) {
        at = blank + 2;
    }
    if (at != nullptr) {
        std::memcpy(at, line, lineLength + 1);
        length = static_cast<uint32_t>(at - headers + lineLength);
        return at;
    }
    std::memcpy(headers + length, line, lineLength + 1);
    length += static_cast<uint32_t>(lineLength);
    return headers + length;
}
