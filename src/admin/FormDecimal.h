// Numbers typed into the forms of the administration pages.
#pragma once

#include <cstdint>
#include <limits>
#include <string_view>

#include "platform/Decimal.h"

// The decimal number at the start of a form text: leading white space, an optional sign, then
// digits; 0 when there are none, as the C library's atol reads it. Values beyond the 64-bit
// range saturate instead of wrapping, so that arithmetic on them can be bounded by the caller.
inline std::int64_t FormDecimal(std::string_view text) {
    // -max rather than min: a negative number is the negated magnitude, which saturates alike.
    return LeadingDecimal(text, -std::numeric_limits<std::int64_t>::max(),
                          std::numeric_limits<std::int64_t>::max());
}
