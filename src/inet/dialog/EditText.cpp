// Field texts cut to their buffers, and the number in a digits-only field.
#include "inet/dialog/EditText.h"

#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/Decimal.h"

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
    if (!text) {
        return 0;
    }
    const std::string_view field(text);
    const DecimalScan number = ScanDecimal(field, DecimalSyntax::kDigits, 0, UINT32_MAX);
    if (number.end != field.size() || number.outOfRange) {
        return 0;
    }
    return static_cast<unsigned>(number.value);
}

}  // namespace inet
