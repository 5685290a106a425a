#include "htx/HtxPairVariables.h"

#include <utility>

#include "htx/VarMap.h"

namespace {

constexpr std::size_t kFirstSlots = 16;

std::size_t Spread(std::uint32_t hash) {
    return static_cast<std::size_t>((hash * 0x9E3779B1u) ^ (hash >> 15));
}

}  // namespace

HtxPairVariables::HtxPairVariables(std::shared_ptr<const RowList> pairs)
    : pairs_(std::move(pairs)), index_(kFirstSlots, kEmpty) {
    // Last row first, so that an earlier row of the same name takes the slot over.
    for (std::size_t i = pairs_->size(); i-- > 0;) {
        const std::string_view name = pairs_->Text(i, 0);
        const std::size_t slot = SlotOf(name, VarMap::Hash(name));
        if (index_[slot] == kEmpty) {
            if (2 * (names_ + 1) > index_.size()) {
                Grow();
                index_[SlotOf(name, VarMap::Hash(name))] = static_cast<std::uint32_t>(i);
            } else {
                index_[slot] = static_cast<std::uint32_t>(i);
            }
            ++names_;
        } else {
            index_[slot] = static_cast<std::uint32_t>(i);
        }
    }
}

std::size_t HtxPairVariables::SlotOf(std::string_view name, std::uint32_t hash) const {
    const std::size_t mask = index_.size() - 1;
    for (std::size_t slot = Spread(hash) & mask;; slot = (slot + 1) & mask) {
        if (index_[slot] == kEmpty || pairs_->Text(index_[slot], 0) == name) {
            return slot;
        }
    }
}

void HtxPairVariables::Grow() {
    std::vector<std::uint32_t> old(2 * index_.size(), kEmpty);
    old.swap(index_);
    for (std::uint32_t row : old) {
        if (row != kEmpty) {
            const std::string_view name = pairs_->Text(row, 0);
            index_[SlotOf(name, VarMap::Hash(name))] = row;
        }
    }
}

const HtxValue* HtxPairVariables::Find(std::string_view name) const {
    const std::uint32_t row = index_[SlotOf(name, VarMap::Hash(name))];
    if (row == kEmpty) {
        return nullptr;
    }
    std::string key(name);
    auto found = values_.find(key);
    if (found == values_.end()) {
        found =
            values_.emplace(std::move(key), HtxValue::MakeString(std::string(pairs_->Text(row, 1))))
                .first;
    }
    return &found->second;
}
