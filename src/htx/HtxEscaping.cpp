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
    for (char c : text) {
        std::string_view replacement = Replacement(c, escape);
        if (replacement.empty()) {
            out.Put(c);
        } else {
            out.Write(replacement);
        }
    }
}
