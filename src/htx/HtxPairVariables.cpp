#include "htx/HtxPairVariables.h"

#include <utility>

#include "htx/VarMap.h"

namespace {

constexpr std::size_t kFirstSlots = 16;

// The bits of a hash that a slot keeps beside the row number.
std::uint32_t TagOf(std::uint32_t hash) {
    return (hash >> 7) & ((1u << HtxPairVariables::kTagBits) - 1);
}

}  // namespace

HtxPairVariables::HtxPairVariables(std::shared_ptr<const RowList> pairs)
    : pairs_(std::move(pairs)), index_(kFirstSlots, kEmpty) {
    const std::size_t rows = pairs_->size() < kMaxRows ? pairs_->size() : kMaxRows;
    // Last row first, so that an earlier row of the same name takes the slot over.
    for (std::size_t i = rows; i-- > 0;) {
        const std::string_view name = pairs_->Text(i, 0);
        const std::uint32_t hash = VarMap::Hash(name);
        std::size_t slot = SlotOf(name, hash);
        if (index_[slot] == kEmpty && 2 * (names_ + 1) > index_.size()) {
            Grow(i + 1, rows);
            slot = SlotOf(name, hash);
        }
        names_ += index_[slot] == kEmpty ? 1 : 0;
        index_[slot] = SlotValue(i, hash);
    }
}

std::uint32_t HtxPairVariables::SlotValue(std::size_t row, std::uint32_t hash) {
    return (TagOf(hash) << kRowBits) | static_cast<std::uint32_t>(row);
}

std::size_t HtxPairVariables::SlotOf(std::string_view name, std::uint32_t hash) const {
    const std::size_t mask = index_.size() - 1;
    const std::uint32_t tag = TagOf(hash);
    for (std::size_t slot = VarMap::FirstSlot(hash, mask);; slot = (slot + 1) & mask) {
        const std::uint32_t value = index_[slot];
        if (value == kEmpty ||
            ((value >> kRowBits) == tag && pairs_->Text(value & kMaxRows, 0) == name)) {
            return slot;
        }
    }
}

void HtxPairVariables::Grow(std::size_t firstRow, std::size_t rows) {
    // Indexed again from the rows in the order of the first pass: reading the names in row
    // order, not in slot order, keeps a long form in the processor's caches.
    index_.assign(2 * index_.size(), kEmpty);
    for (std::size_t i = rows; i-- > firstRow;) {
        const std::string_view name = pairs_->Text(i, 0);
        const std::uint32_t hash = VarMap::Hash(name);
        index_[SlotOf(name, hash)] = SlotValue(i, hash);
    }
}

const HtxValue* HtxPairVariables::Find(std::string_view name) const {
    const std::uint32_t value = index_[SlotOf(name, VarMap::Hash(name))];
    if (value == kEmpty) {
        return nullptr;
    }
    std::string key(name);
    auto found = values_.find(key);
    if (found == values_.end()) {
        found = values_
                    .emplace(std::move(key),
                             HtxValue::MakeString(std::string(pairs_->Text(value & kMaxRows, 1))))
                    .first;
    }
    return &found->second;
}
