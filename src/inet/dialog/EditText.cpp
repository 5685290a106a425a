// Field texts cut to their buffers, and the number in a digits-only field.
#include "inet/dialog/EditText.h"

#include <cstdint>
#include <cstring>

namespace inet {

void CopyFieldText(char* out, size_t size, const char* text) {
    size_t length = text ? strnlen(text, size) : 0;
    if (length >= size) {
        length = size - 1;
        // Back off over continuation bytes to the start of the character that would be cut.
        size_t start = length;
        while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) {
            --start;
        }
        length = start;
    }
    if (length > 0) {
        std::memcpy(out, text, length);
    }
    out[length] = '\0';
}

unsigned ParseFieldNumber(const char* text) {
    if (!text || !*text) {
        return 0;
    }
    uint64_t value = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') {
            return 0;
        }
        value = value * 10 + static_cast<unsigned>(*p - '0');
        if (value > UINT32_MAX) {
            return 0;
        }
    }
    return static_cast<unsigned>(value);
}

}  // namespace inet
