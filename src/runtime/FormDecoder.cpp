#include "runtime/FormDecoder.h"

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

}  // namespace

std::string DecodeFormText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            c = ' ';
        } else if (c == '%') {
            if (i + 2 >= text.size()) {
                out += c;  // truncated escape: kept as it stands
                continue;
            }
            c = static_cast<char>(EscapedByte(static_cast<unsigned char>(text[i + 1]),
                                              static_cast<unsigned char>(text[i + 2])));
            i += 2;
        }
        if (c == '\0') {
            break;
        }
        out += c;
    }
    return out;
}

std::vector<FormField> DecodeFormBody(std::string_view body) {
    std::vector<FormField> fields;
    std::size_t cursor = 0;
    while (cursor < body.size()) {
        const std::size_t equals = body.find('=', cursor);
        if (equals == std::string_view::npos) {
            break;
        }
        std::size_t end = body.find('&', equals + 1);
        if (end == std::string_view::npos) {
            end = body.size();
        }
        fields.push_back({DecodeFormText(body.substr(cursor, equals - cursor)),
                          DecodeFormText(body.substr(equals + 1, end - equals - 1))});
        cursor = end + 1;
    }
    return fields;
}
