// One typed value of the template variable store: an Int, a String or a List of rows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class RowList;

// The kind numbers appear in template diagnostics (", type = 3"), so they are fixed.
enum class HtxKind : std::int32_t { Int = 1, String = 2, List = 3 };

// A value copies like a plain value; a List value only refers to its RowList, so copies of it
// (and of the variables holding it) share the same rows.
class HtxValue {
  public:
    static HtxValue MakeInt(std::int32_t value);
    static HtxValue MakeString(std::string text);
    // A null list is taken as a new empty list, so a List value always has rows to walk.
    static HtxValue MakeList(std::shared_ptr<RowList> list);

    HtxKind kind() const { return kind_; }

    // The number of an Int; -1 for any other kind.
    std::int32_t AsInt() const { return kind_ == HtxKind::Int ? int_ : -1; }
    // The text of a String; null for any other kind. Valid while the value is.
    const std::string* AsText() const { return kind_ == HtxKind::String ? &text_ : nullptr; }
    // The list of a List; null for any other kind.
    const std::shared_ptr<RowList>& AsList() const { return list_; }

  private:
    HtxValue() = default;

    HtxKind kind_ = HtxKind::Int;
    std::int32_t int_ = 0;
    std::string text_;
    std::shared_ptr<RowList> list_;
};
