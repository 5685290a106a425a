// The HTML table form of a List value.
#pragma once

#include "htx/HtxOutput.h"
#include "htx/RowList.h"

// Lists nested in cells deeper than this are left out (their cell stays empty). Templates
// cannot build such lists; the bound keeps a list that holds itself from recursing forever.
constexpr int kMaxTableDepth = 64;

// Writes the list as a table: one header row with the entry names of the first row in map
// iteration order, then one row per row of the list, each with its own entries in its own
// iteration order. Cells: Int in decimal, String unescaped, List as a nested table. An empty
// list writes nothing.
void WriteTable(HtxOutput& out, const RowList& list);
