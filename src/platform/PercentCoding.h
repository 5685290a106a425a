// Percent-encoding of URL text ("%" and two hexadecimal digits for a byte), one rule for the
// client library, its platform internet library layer and quarget.
#pragma once

#include <string>
#include <string_view>

// The value of a hexadecimal digit of either case, or -1 for any other character.
int HexDigitValue(char c);

// `text` with blanks, control bytes and bytes above 127 as "%XX" (upper-case digits), so that a
// URL a stranger wrote cannot bring them into a request line; everything else stays.
std::string PercentEncodeUnsafe(std::string_view text);

// `text` with each "%" followed by two hexadecimal digits replaced by the byte they give; any
// other "%" stays as it is, and so does "+" (this is not form decoding).
std::string PercentDecode(std::string_view text);
