// Decoding of a URL-encoded form body into its fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct FormField {
    std::string name;
    std::string value;
};

// The decoded fields of a body, kept as one text: a form may bring a million fields, and a
// string per name and value would cost many times the body.
struct DecodedForm {
    std::string texts;                // name, value, name, value, ... one after another
    std::vector<std::uint32_t> ends;  // the end offset in `texts` of each name and value

    std::size_t size() const { return ends.size() / 2; }
    std::string_view Name(std::size_t field) const { return Text(2 * field); }
    std::string_view Value(std::size_t field) const { return Text(2 * field + 1); }

  private:
    std::string_view Text(std::size_t n) const {
        const std::size_t begin = n == 0 ? 0 : ends[n - 1];
        return std::string_view(texts).substr(begin, ends[n] - begin);
    }
};

// Splits `body` into fields in body order, decoding in the body's own memory. The body is a
// text: it ends at its first NUL byte. A name runs to the first "=" (an "&" on the way is part
// of it); the value runs to the next "&" or the end. Decoding stops at the first field without
// "=". Both parts are decoded separately by the rule of DecodeFormText.
DecodedForm DecodeForm(std::string body);

// DecodeForm with a string per name and value.
std::vector<FormField> DecodeFormBody(std::string_view body);

// "+" becomes a blank and "%" with two characters becomes one byte by the form's own rule
// (ordinary hexadecimal for hex digits). A "%" with fewer than two characters left is kept as
// it stands. A decoded NUL ends the text, as it ends the C strings that pages and files use.
std::string DecodeFormText(std::string_view text);
