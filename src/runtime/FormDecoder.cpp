#include "runtime/FormDecoder.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

unsigned char EscapedByte(unsigned char c1, unsigned char c2) {
    const unsigned high = c1 < 'A' ? 16u * (c1 & 0x0Fu) : 16u * ((c1 & 0x0Fu) + 9u);
    unsigned low;
    if (c2 < 'A') {
        low = c2 - static_cast<unsigned>('0');
    } else if (c2 < 'a') {
        low = c2 - static_cast<unsigned>('A') + 10u;
    } else {
        low = c2 - static_cast<unsigned>('a') + 10u;
    }
    return static_cast<unsigned char>((high + low) & 0xFFu);
}

// Decodes text[begin, end) to `out` onwards and returns the end of the decoded bytes. A decoded
// text is never longer than its source, so `out` may run behind `begin` in the same buffer.
std::size_t DecodeInPlace(char* text, std::size_t begin, std::size_t end, std::size_t out) {
    for (std::size_t i = begin; i < end; ++i) {
        char c = text[i];
        if (c == '+') {
            c = ' ';
        } else if (c == '%') {
            if (i + 2 >= end) {
                text[out++] = c;  // truncated escape: kept as it stands
                continue;
            }
            c = static_cast<char>(EscapedByte(static_cast<unsigned char>(text[i + 1]),
                                              static_cast<unsigned char>(text[i + 2])));
            i += 2;
        }
        if (c == '\0') {
            break;
        }
        text[out++] = c;
    }
    return out;
}

}  // namespace

std::string DecodeFormText(std::string_view text) {
    std::string out(text);
    out.resize(DecodeInPlace(out.data(), 0, out.size(), 0));
    return out;
}

DecodedForm DecodeForm(std::string body) {
    DecodedForm form;
    body.resize(std::strlen(body.c_str()));
    const std::size_t size = body.size();
    // Every field but the last ends at an "&", and every field has its "=".
    std::size_t ampersands = 0;
    std::size_t equalSigns = 0;
    for (char c : body) {
        ampersands += c == '&';
        equalSigns += c == '=';
    }
    form.ends.reserve(2 * std::min(ampersands + 1, equalSigns));
    char* text = body.data();
    std::size_t out = 0;
    std::size_t cursor = 0;
    while (cursor < size) {
        const char* equals =
            static_cast<const char*>(std::memchr(text + cursor, '=', size - cursor));
        if (equals == nullptr) {
            break;
        }
        const std::size_t nameEnd = static_cast<std::size_t>(equals - text);
        const char* amp =
            static_cast<const char*>(std::memchr(equals + 1, '&', size - nameEnd - 1));
        const std::size_t valueEnd = amp ? static_cast<std::size_t>(amp - text) : size;
        out = DecodeInPlace(text, cursor, nameEnd, out);
        form.ends.push_back(static_cast<std::uint32_t>(out));
        out = DecodeInPlace(text, nameEnd + 1, valueEnd, out);
        form.ends.push_back(static_cast<std::uint32_t>(out));
        cursor = valueEnd + 1;
    }
    body.resize(out);
    form.texts = std::move(body);
    return form;
}

std::vector<FormField> DecodeFormBody(std::string_view body) {
    const DecodedForm form = DecodeForm(std::string(body));
    std::vector<FormField> fields;
    fields.reserve(form.size());
    for (std::size_t i = 0; i < form.size(); ++i) {
        fields.push_back({std::string(form.Name(i)), std::string(form.Value(i))});
    }
    return fields;
}
