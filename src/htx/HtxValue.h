// One typed value of the template variable store: an Int, a String or a List of rows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <variant>

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

    HtxKind Kind() const { return static_cast<HtxKind>(data_.index() + 1); }

    // The number of an Int; -1 for any other kind.
    std::int32_t AsInt() const;
    // The text of a String; null for any other kind. Valid while the value is.
    const std::string* AsText() const { return std::get_if<std::string>(&data_); }
    // The list of a List; null for any other kind.
    const std::shared_ptr<RowList>& AsList() const;

  private:
    // One alternative per kind, in the order of the kind numbers. A request can set a million
    // variables, so a value holds only the data of its own kind.
    using Data = std::variant<std::int32_t, std::string, std::shared_ptr<RowList>>;

    explicit HtxValue(Data data) : data_(std::move(data)) {}

    Data data_;
};
