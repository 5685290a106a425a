// An ordered list of rows (VarMap), the value of a List variable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "htx/VarMap.h"

// Rows are added at either end and never removed; a begindetail block visits them first to
// last. Adding a row never moves the existing ones, so references to rows stay valid.
//
// A text list holds rows that all carry the same String fields, packed into one text with an
// end offset per field: a few bytes per row where a map per row costs hundreds, which matters
// for lists as long as a request's form. Its rows are read with Row only.
//
// A RowList is held through std::shared_ptr: every List value that refers to it (in the global
// variables or inside other rows) shares it, and it lives as long as the last of them.
class RowList {
  public:
    RowList() = default;

    // A text list whose rows have the fields named, in the order the texts of each row are
    // given. `texts` holds the rows' texts one after another and `ends` the end offset of each
    // (fieldNames.size() per row). With newestFirst the last row given is row 0, as if each
    // had been added at the front.
    RowList(std::vector<std::string> fieldNames, std::string texts, std::vector<std::uint32_t> ends,
            bool newestFirst);

    // Adds an empty row and returns it for filling with MapSetInt/MapSetString/MapSetList.
    // Not for text lists.
    VarMap& AddFront() { return rows_.emplace_front(); }
    VarMap& AddBack() { return rows_.emplace_back(); }

    std::size_t size() const;
    bool empty() const { return size() == 0; }

    // The row at `index`: the stored row, or for a text list the row rebuilt into `scratch`.
    // The result is valid while the list, and `scratch`, are unchanged.
    const VarMap& Row(std::size_t index, VarMap& scratch) const;

    // Text lists only: the text of field `field` of row `index`, without building the row.
    std::string_view Text(std::size_t index, std::size_t field) const;

    // The stored row at `index`. Not for text lists.
    const VarMap& operator[](std::size_t index) const { return rows_[index]; }
    VarMap& operator[](std::size_t index) { return rows_[index]; }

  private:
    std::deque<VarMap> rows_;
    // The text list's parts; fieldNames_ is empty for a list of stored rows.
    std::vector<std::string> fieldNames_;
    std::string texts_;
    std::vector<std::uint32_t> ends_;
    bool newestFirst_ = false;
};
