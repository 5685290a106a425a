// An ordered list of rows (VarMap), the value of a List variable.
#pragma once

#include <cstddef>
#include <deque>

#include "htx/VarMap.h"

// Rows are added at either end and never removed; a begindetail block visits them first to
// last. Adding a row never moves the existing ones, so references to rows stay valid.
//
// A RowList is held through std::shared_ptr: every List value that refers to it (in the global
// variables or inside other rows) shares it, and it lives as long as the last of them.
class RowList {
  public:
    // Adds an empty row and returns it for filling with MapSetInt/MapSetString/MapSetList.
    VarMap& AddFront() { return rows_.emplace_front(); }
    VarMap& AddBack() { return rows_.emplace_back(); }

    std::size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    const VarMap& operator[](std::size_t index) const { return rows_[index]; }
    VarMap& operator[](std::size_t index) { return rows_[index]; }

  private:
    std::deque<VarMap> rows_;
};
