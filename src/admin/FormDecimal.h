// Numbers typed into the forms of the administration pages.
#pragma once

#include <cstdint>
#include <limits>
#include <string_view>

// The decimal number at the start of a form text: leading white space, an optional sign, then
// digits; 0 when there are none, as the C library's atol reads it. Values beyond the 64-bit
// range saturate instead of wrapping, so that arithmetic on them can be bounded by the caller.
inline std::int64_t FormDecimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        magnitude = magnitude > (kMax - digit) / 10 ? kMax : magnitude * 10 + digit;
    }
    return negative ? -magnitude : magnitude;
}
