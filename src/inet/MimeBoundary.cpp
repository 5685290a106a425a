#include "inet/MimeBoundary.h"

#include <cstdio>
#include <cstring>

#include "inet/HeaderSearch.h"

namespace inet {
namespace {

bool IsAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The characters of a boundary besides the blank, which may only appear inside quotes.
bool IsBoundaryChar(char c) {
    return IsAlnum(c) || (c != '\0' && std::strchr("'()+_,-./:=?", c));
}

bool IsWhite(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Where the value of the parameter "boundary" starts (after its "=" and any blanks), or null.
// The name must stand on its own, not end a longer name such as "xboundary".
const char* FindBoundaryValue(const char* contentType) {
    for (const char* at = FindNoCase(contentType, "boundary"); at != nullptr;
         at = FindNoCase(at + 1, "boundary")) {
        if (at > contentType && (IsAlnum(at[-1]) || at[-1] == '-' || at[-1] == '_')) {
            continue;
        }
        const char* p = at + std::strlen("boundary");
        while (IsWhite(*p)) {
            ++p;
        }
        if (*p != '=') {
            continue;
        }
        while (IsWhite(*p) || *p == '=') {
            ++p;
        }
        return p;
    }
    return nullptr;
}

}  // namespace

void FormatBoundary(uint32_t tick, char (&boundary)[kBoundaryRoom]) {
    std::snprintf(boundary, sizeof boundary, "08%X", tick);
}

bool ReadBoundaryParameter(const char* contentType, char* out, size_t size) {
    const char* p = FindBoundaryValue(contentType);
    if (p == nullptr || size == 0) {
        return false;
    }
    size_t length = 0;
    if (*p == '"') {
        for (++p; *p != '"'; ++p) {
            if (*p == '\\' && p[1] != '\0') {
                ++p;
            }
            if (*p == '\0' || (*p != ' ' && !IsBoundaryChar(*p)) || length + 1 >= size) {
                return false;
            }
            out[length++] = *p;
        }
    } else {
        for (; IsBoundaryChar(*p); ++p) {
            if (length + 1 >= size) {
                return false;
            }
            out[length++] = *p;
        }
    }
    out[length] = '\0';
    return length > 0;
}

}  // namespace inet
