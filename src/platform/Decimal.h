// Decimal numbers read from texts: form fields, CGI variables, log records, URLs, status lines.
// One reader with one overflow rule; each caller states which syntax it accepts and the range
// its number must fit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// What may stand before the digits. The digits themselves are the ASCII '0'..'9'.
enum class DecimalSyntax {
    kDigits,             // digits only
    kSignedDigits,       // an optional '+' or '-', then digits
    kSpaceSignedDigits,  // white space (' ', '\t'..'\r'), an optional sign, then digits
};

// The outcome of reading the leading decimal number of a text.
struct DecimalScan {
    // The number, held within [min, max] of the call: a number beyond the range gives the
    // nearer bound. 0 when there are no digits.
    std::int64_t value = 0;
    // The digits' number lay beyond [min, max] (value then holds the bound).
    bool outOfRange = false;
    // Count of digits read; 0 when the text does not start (after what the syntax allows) with
    // a digit, whatever came before.
    std::size_t digits = 0;
    // Index of the first byte after the digits, so that text.substr(end) is what follows the
    // number; 0 when there are no digits (nothing was read).
    std::size_t end = 0;
};

// Reads the number at the start of the text as the syntax allows, as far as the digits go.
// Never fails and never overflows, however many digits follow: the value is accumulated only
// until it is known to be beyond the range. REQUIRES: min <= 0 <= max.
DecimalScan ScanDecimal(std::string_view text, DecimalSyntax syntax, std::int64_t min,
                        std::int64_t max);

// The leading number as the C library's atol reads it (white space, sign, digits; 0 when there
// are none), held within [min, max] instead of overflowing.
std::int64_t LeadingDecimal(std::string_view text, std::int64_t min, std::int64_t max);
