// The parts of an "if" condition that do not read the template: numbers, operators, comparison.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class HtxOperator { Eq, Gt, Lt, Contains, Ne, Ge, Le };

// True when, after an optional single leading "-", every byte is a digit. The empty text and a
// lone "-" count as numeric (both read as 0).
bool IsNumeric(std::string_view text);

// The decimal number at the start of the text (leading white space, optional sign, digits), 0
// when there is none; values beyond 32 bits saturate, as strtol does with a 32-bit long.
std::int32_t ParseDecimal(std::string_view text);

// The operator named by an unquoted operator token: the upper-cased token's first occurrence in
// "EQ GT LT CONTAINS NE GE LE = !=" must start one of the names, so leading parts of names are
// accepted ("E", "G", "L", "CONT", "!"), and the empty token means EQ. Nothing for others.
std::optional<HtxOperator> SelectOperator(std::string_view token);

// The token in upper case (ASCII letters only), as invalid operators are reported.
std::string UpperCase(std::string_view token);

// Evaluates "first op second" on resolved operand texts. CONTAINS looks for second inside
// first; the others compare numerically when both texts are numeric, else byte by byte as
// unsigned bytes (a proper prefix is less).
bool EvaluateCondition(std::string_view first, HtxOperator op, std::string_view second);
