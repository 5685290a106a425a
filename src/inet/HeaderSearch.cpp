#include "inet/HeaderSearch.h"

#include <cstring>

namespace inet {
namespace {

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

const char* FindNoCase(const char* text, const char* name) {
    if (text == nullptr || name == nullptr) {
        return nullptr;
    }
    for (const char* start = text;; ++start) {
        const char* t = start;
        const char* n = name;
        while (*n != '\0' && Upper(*t) == Upper(*n)) {
            ++t;
            ++n;
        }
        if (*n == '\0') {
            return start;
        }
        if (*start == '\0') {
            return nullptr;
        }
    }
}

char* FindNoCase(char* text, const char* name) {
    return const_cast<char*>(FindNoCase(static_cast<const char*>(text), name));
}

const char* FindHeaderLine(const char* block, const char* name) {
    if (block == nullptr || name == nullptr) {
        return nullptr;
    }
    for (const char* line = block; line != nullptr;) {
        if (StartsWithNoCase(line, name)) {
            return line;
        }
        line = std::strchr(line, '\n');
        if (line != nullptr) {
            ++line;
        }
    }
    return nullptr;
}

char* FindHeaderLine(char* block, const char* name) {
    return const_cast<char*>(FindHeaderLine(static_cast<const char*>(block), name));
}

bool StartsWithNoCase(const char* text, const char* prefix) {
    for (; *prefix != '\0'; ++text, ++prefix) {
        if (Upper(*text) != Upper(*prefix)) {
            return false;
        }
    }
    return true;
}

const char* FindBytes(const char* data, size_t length, const char* pattern, size_t patternLength) {
    if (data == nullptr || patternLength > length) {
        return nullptr;
    }
    return static_cast<const char*>(memmem(data, length, pattern, patternLength));
}

}  // namespace inet
