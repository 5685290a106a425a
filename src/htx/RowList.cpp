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

const VarMap& RowList::Row(std::size_t index, VarMap& scratch) const {
    if (fieldNames_.empty()) {
        return rows_[index];
    }
    const std::size_t fields = fieldNames_.size();
    const std::size_t stored = newestFirst_ ? size() - 1 - index : index;
    scratch.Clear();
    for (std::size_t f = 0; f < fields; ++f) {
        const std::size_t n = stored * fields + f;
        const std::size_t begin = n == 0 ? 0 : ends_[n - 1];
        MapSetString(scratch, fieldNames_[f], texts_.substr(begin, ends_[n] - begin));
    }
    return scratch;
}
