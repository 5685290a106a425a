#include "platform/Decimal.h"

#include <limits>

namespace {

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

DecimalScan ScanDecimal(std::string_view text, DecimalSyntax syntax, std::int64_t min,
                        std::int64_t max) {
    std::size_t i = 0;
    if (syntax == DecimalSyntax::kSpaceSignedDigits) {
        while (i < text.size() && IsSpace(text[i])) {
            ++i;
        }
    }
    bool negative = false;
    if (syntax != DecimalSyntax::kDigits && i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    DecimalScan scan;
    const std::size_t first = i;
    // The largest magnitude the range takes on this side of 0; -(min + 1) + 1 stays in range
    // for the smallest 64-bit number too.
    const std::uint64_t limit =
        negative ? static_cast<std::uint64_t>(-(min + 1)) + 1 : static_cast<std::uint64_t>(max);
    constexpr std::uint64_t kHuge = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t magnitude = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        if (magnitude > limit) {
            continue;  // already beyond; later digits only make it larger
        }
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        magnitude = magnitude > (kHuge - digit) / 10 ? kHuge : magnitude * 10 + digit;
    }
    scan.digits = i - first;
    if (scan.digits == 0) {
        return scan;
    }
    scan.end = i;
    scan.outOfRange = magnitude > limit;
    if (scan.outOfRange) {
        scan.value = negative ? min : max;
    } else if (negative && magnitude > 0) {
        scan.value = -static_cast<std::int64_t>(magnitude - 1) - 1;
    } else {
        scan.value = static_cast<std::int64_t>(magnitude);
    }
    return scan;
}

std::int64_t LeadingDecimal(std::string_view text, std::int64_t min, std::int64_t max) {
    return ScanDecimal(text, DecimalSyntax::kSpaceSignedDigits, min, max).value;
}
