#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string_view>

#include "platform/Decimal.h"

namespace {

constexpr std::int64_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMax32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kMin64 = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax64 = std::numeric_limits<std::int64_t>::max();

TEST(Decimal, ScansTheLeadingNumberWithinItsRange) {
    using S = DecimalSyntax;
    const struct {
        std::string_view text;
        S syntax;
        std::int64_t min, max;
        std::int64_t value;
        bool outOfRange;
        std::size_t digits, end;
    } cases[] = {
        // What each syntax lets stand before the digits.
        {"123abc", S::kDigits, 0, kMax64, 123, false, 3, 3},
        {"-5", S::kDigits, kMin64, kMax64, 0, false, 0, 0},
        {" 5", S::kDigits, 0, kMax64, 0, false, 0, 0},
        {"", S::kDigits, 0, kMax64, 0, false, 0, 0},
        {"-42;", S::kSignedDigits, kMin64, kMax64, -42, false, 2, 3},
        {"+7x", S::kSignedDigits, kMin64, kMax64, 7, false, 1, 2},
        {" 1", S::kSignedDigits, kMin64, kMax64, 0, false, 0, 0},
        {"-", S::kSignedDigits, kMin64, kMax64, 0, false, 0, 0},
        {" \t\n\v\f\r-12 ", S::kSpaceSignedDigits, kMin64, kMax64, -12, false, 2, 9},
        {"\x1c"
         "5",
         S::kSpaceSignedDigits, kMin64, kMax64, 0, false, 0, 0},
        {"+ 5", S::kSpaceSignedDigits, kMin64, kMax64, 0, false, 0, 0},
        // The bounds of the range are in it; one beyond gives the bound and says so.
        {"2147483647", S::kSignedDigits, kMin32, kMax32, kMax32, false, 10, 10},
        {"2147483648", S::kSignedDigits, kMin32, kMax32, kMax32, true, 10, 10},
        {"-2147483648", S::kSignedDigits, kMin32, kMax32, kMin32, false, 10, 11},
        {"-2147483649", S::kSignedDigits, kMin32, kMax32, kMin32, true, 10, 11},
        {"-2147483648", S::kSignedDigits, -kMax32, kMax32, -kMax32, true, 10, 11},
        {"-5", S::kSignedDigits, 0, 100, 0, true, 1, 2},
        {"-0", S::kSignedDigits, 0, 100, 0, false, 1, 2},
        {"101", S::kDigits, 0, 100, 100, true, 3, 3},
        // The 64-bit ends, and digits far beyond them: no wrap, every digit still counted.
        {"9223372036854775807", S::kDigits, 0, kMax64, kMax64, false, 19, 19},
        {"-9223372036854775808", S::kSignedDigits, kMin64, kMax64, kMin64, false, 19, 20},
        {"18446744073709551616", S::kDigits, 0, kMax64, kMax64, true, 20, 20},
        {"-99999999999999999999999999!", S::kSignedDigits, kMin64, 0, kMin64, true, 26, 27},
        {"000000000000000000000000000042", S::kDigits, 0, 100, 42, false, 30, 30},
    };
    for (const auto& c : cases) {
        const DecimalScan scan = ScanDecimal(c.text, c.syntax, c.min, c.max);
        EXPECT_EQ(scan.value, c.value) << c.text;
        EXPECT_EQ(scan.outOfRange, c.outOfRange) << c.text;
        EXPECT_EQ(scan.digits, c.digits) << c.text;
        EXPECT_EQ(scan.end, c.end) << c.text;
    }
}

}  // namespace
