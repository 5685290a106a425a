// The variables that a text list of name/value rows stands for: a request's form fields, seen
// as String variables without a map entry each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "htx/HtxValue.h"
#include "htx/RowList.h"

// Each row's first field is a variable name and its second field the value. When a name
// occurs in several rows, the first of them wins (in a newest-first list, the newest). A
// value becomes an HtxValue when it is first looked up and stays at the same address for the
// life of this object. Memory: an index of 4 bytes per slot, at most four slots per distinct
// name; the texts stay in the list. Rows from kMaxRows on are left out (a form of the largest
// body has at most half as many fields).
class HtxPairVariables {
  public:
    // A slot holds a row number and some bits of its name's hash, so that most names that do
    // not match are passed over without reading them.
    static constexpr unsigned kRowBits = 23;
    static constexpr unsigned kTagBits = 32 - kRowBits;
    static constexpr std::size_t kMaxRows = (std::size_t{1} << kRowBits) - 1;

    // `pairs` must be a text list of at least two fields.
    explicit HtxPairVariables(std::shared_ptr<const RowList> pairs);

    // The value of the name, or null.
    const HtxValue* Find(std::string_view name) const;

  private:
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;

    static std::uint32_t SlotValue(std::size_t row, std::uint32_t hash);
    // The slot that holds the row of the name, or the empty slot where it would go.
    std::size_t SlotOf(std::string_view name, std::uint32_t hash) const;
    // Doubles the index and enters rows firstRow up to `rows` again.
    void Grow(std::size_t firstRow, std::size_t rows);

    std::shared_ptr<const RowList> pairs_;
    std::vector<std::uint32_t> index_;  // row numbers by name, open addressing
    std::size_t names_ = 0;
    mutable std::unordered_map<std::string, HtxValue> values_;  // built on first lookup
};
