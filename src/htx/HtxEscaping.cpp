#include "htx/HtxEscaping.h"

namespace {

// The replacement of one byte, or an empty view when the byte is written unchanged.
std::string_view Replacement(char c, HtxEscape escape) {
    switch (escape) {
        case HtxEscape::None:
            return {};
        case HtxEscape::Script:
            switch (c) {
                case '"':
                    return "\\\"";
                case '\'':
                    return "\\'";
                case '\\':
                    return "\\\\";
                default:
                    return {};
            }
        case HtxEscape::FullHtml:
            switch (c) {
                case '&':
                    return "&amp;";
                case '<':
                    return "&lt;";
                case '>':
                    return "&gt;";
                default:
                    break;
            }
            [[fallthrough]];
        case HtxEscape::Html:
            switch (c) {
                case '"':
                    return "&quot;";
                case '\'':
                    return "&#39;";
                case '\\':
                    return "&#92;";
                default:
                    return {};
            }
    }
    return {};
}

// The bytes each escaping replaces, and the bytes a Latin-1 line widens, one bit each.
enum : unsigned char { kHtmlByte = 1, kScriptByte = 2, kFullHtmlByte = 4, kHighByte = 8 };

struct ByteMarks {
    unsigned char of[256] = {};

    constexpr ByteMarks() {
        for (unsigned char c : {'"', '\'', '\\'}) {
            of[c] |= kHtmlByte | kScriptByte | kFullHtmlByte;
        }
        for (unsigned char c : {'&', '<', '>'}) {
            of[c] |= kFullHtmlByte;
        }
        for (int c = 0x80; c < 0x100; ++c) {
            of[c] |= kHighByte;
        }
    }
};

constexpr ByteMarks kMarks;

unsigned char MarkOf(HtxEscape escape) {
    switch (escape) {
        case HtxEscape::Html:
            return kHtmlByte;
        case HtxEscape::Script:
            return kScriptByte;
        case HtxEscape::FullHtml:
            return kFullHtmlByte;
        case HtxEscape::None:
            break;
    }
    return 0;
}

// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF),
// its last character possibly cut short.
bool IsUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;  // the bounds of the second byte
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        // A sequence cut short by the end (a text cut to its field's length) still counts.
        if (text.size() - i < length) {
            length = text.size() - i;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const unsigned char c = static_cast<unsigned char>(text[i + k]);
            if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF)) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

}  // namespace

HtxEscape EscapeForMode(std::int32_t mode) {
    switch (mode) {
        case 1:
            return HtxEscape::Html;
        case 2:
            return HtxEscape::Script;
        case 3:
            return HtxEscape::FullHtml;
        default:
            return HtxEscape::None;
    }
}

void WriteEscaped(HtxOutput& out, std::string_view text, HtxEscape escape) {
    if (escape == HtxEscape::None) {
        out.Write(text);
        return;
    }
    // Pages are UTF-8; a line that is not (stored by an older installation whose pages were
    // Latin-1) is read as Latin-1, so that it shows as it was typed. Line by line: the log
    // viewer's entries, written over years, come as one text.
    std::size_t lineStart = 0;
    while (lineStart < text.size()) {
        std::size_t lineEnd = text.find('\n', lineStart);
        lineEnd = lineEnd == std::string_view::npos ? text.size() : lineEnd + 1;
        const std::string_view line = text.substr(lineStart, lineEnd - lineStart);
        const bool latin1 = !IsUtf8(line);
        const unsigned char attention = MarkOf(escape) | (latin1 ? kHighByte : 0);
        // Bytes that stand as they are go out in runs.
        std::size_t run = 0;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const unsigned char byte = static_cast<unsigned char>(line[i]);
            if ((kMarks.of[byte] & attention) == 0) {
                continue;
            }
            out.Write(line.substr(run, i - run));
            const std::string_view replacement = Replacement(line[i], escape);
            if (!replacement.empty()) {
                out.Write(replacement);
            } else {
                out.Put(static_cast<char>(0xC0 | (byte >> 6)));
                out.Put(static_cast<char>(0x80 | (byte & 0x3F)));
            }
            run = i + 1;
        }
        out.Write(line.substr(run));
        lineStart = lineEnd;
    }
}
