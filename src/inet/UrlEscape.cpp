#include <cstdio>
#include <cstring>

#include "QuarInet.h"
#include "platform/PercentCoding.h"

namespace {

// Characters that form-style escaping leaves as they are.
bool IsPlain(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

}  // namespace

bool QuarURLEscape(char* out, int size, const char* in) {
    if (out == nullptr || size <= 0 || in == nullptr) {
        return false;
    }
    const size_t room = static_cast<size_t>(size);
    size_t written = 0;
    for (; *in != '\0'; ++in) {
        unsigned char c = static_cast<unsigned char>(*in);
        size_t piece = (c == ' ' || IsPlain(c)) ? 1 : 3;
        if (written + piece + 1 > room) {
            out[written] = '\0';
            return false;
        }
        if (c == ' ') {
            out[written] = '+';
        } else if (piece == 1) {
            out[written] = static_cast<char>(c);
        } else {
            std::snprintf(out + written, 4, "%%%02X", c);
        }
        written += piece;
    }
    out[written] = '\0';
    return true;
}

bool QuarURLUnescape(char* out, int size, const char* in) {
    if (out == nullptr || size <= 0 || in == nullptr) {
        return false;
    }
    const size_t room = static_cast<size_t>(size);
    size_t written = 0;
    while (*in != '\0') {
        if (written + 2 > room) {
            out[written] = '\0';
            return false;
        }
        char c = *in;
        if (c == '%') {
            if (in[1] == '\0' || in[2] == '\0') {
                out[written] = '\0';
                return false;
            }
            // Up to two hexadecimal digits; reading stops at the first other character.
            int value = 0;
            for (int i = 1; i <= 2 && HexDigitValue(in[i]) >= 0; ++i) {
                value = value * 16 + HexDigitValue(in[i]);
            }
            // A NUL would end the text early, so the escape of byte 0 reads as the digit zero.
            c = value == 0 ? '0' : static_cast<char>(value);
            in += 3;
        } else {
            if (c == '+') {
                c = ' ';
            }
            ++in;
        }
        out[written++] = c;
    }
    out[written] = '\0';
    return true;
}
