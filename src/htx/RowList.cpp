#include "htx/RowList.h"

#include <utility>

RowList::RowList(std::vector<std::string> fieldNames, std::string texts,
                 std::vector<std::uint32_t> ends, bool newestFirst)
    : fieldNames_(std::move(fieldNames)),
      texts_(std::move(texts)),
      ends_(std::move(ends)),
      newestFirst_(newestFirst) {
    // A trailing part row is left out, so that every row has all its fields.
    if (!fieldNames_.empty()) {
        ends_.resize(ends_.size() - ends_.size() % fieldNames_.size());
    }
}

std::size_t RowList::size() const {
    return fieldNames_.empty() ? rows_.size() : ends_.size() / fieldNames_.size();
}

std::string_view RowList::Text(std::size_t index, std::size_t field) const {
    const std::size_t stored = newestFirst_ ? size() - 1 - index : index;
    const std::size_t n = stored * fieldNames_.size() + field;
    const std::size_t begin = n == 0 ? 0 : ends_[n - 1];
    return std::string_view(texts_).substr(begin, ends_[n] - begin);
}

const VarMap& RowList::Row(std::size_t index, VarMap& scratch) const {
    if (fieldNames_.empty()) {
        return rows_[index];
    }
    scratch.Clear();
    for (std::size_t f = 0; f < fieldNames_.size(); ++f) {
        MapSetString(scratch, fieldNames_[f], std::string(Text(index, f)));
    }
    return scratch;
}
