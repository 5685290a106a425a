// The escapings of String values written into a page.
#pragma once

#include <cstdint>
#include <string_view>

#include "htx/HtxOutput.h"

// The numbers are the values of the "#str_esc_mode" setting.
enum class HtxEscape : std::int32_t { None = 0, Html = 1, Script = 2, FullHtml = 3 };

// The escaping selected by a "#str_esc_mode" value; unknown values select none.
HtxEscape EscapeForMode(std::int32_t mode);

// Writes the text with the escaping; each byte is looked at once.
//   Html:     "  -> &quot;   '  -> &#39;   \ -> &#92;
//   Script:   "  -> \"       '  -> \'      \ -> \\      (for script string literals)
//   FullHtml: as Html, and & -> &amp;   < -> &lt;   > -> &gt;
// A line of the text that is not well-formed UTF-8 is taken as Latin-1 and written as UTF-8 (escaped modes
// only: they write into the UTF-8 pages).
void WriteEscaped(HtxOutput& out, std::string_view text, HtxEscape escape);
