// Decoding of a URL-encoded form body into its fields.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct FormField {
    std::string name;
    std::string value;
};

// Splits `body` into fields in body order. A name runs to the first "=" (an "&" on the way is
// part of it); the value runs to the next "&" or the end. Decoding stops at the first field
// without "=". Both parts are decoded separately with DecodeFormText.
std::vector<FormField> DecodeFormBody(std::string_view body);

// "+" becomes a blank and "%" with two characters becomes one byte by the form's own rule
// (ordinary hexadecimal for hex digits). A "%" with fewer than two characters left is kept as
// it stands. A decoded NUL ends the text, as it ends the C strings that pages and files use.
std::string DecodeFormText(std::string_view text);
