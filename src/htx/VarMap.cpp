#include "htx/VarMap.h"

#include <utility>

#include "htx/RowList.h"

std::uint32_t VarMap::Hash(std::string_view name) {
    std::uint32_t hash = 0;
    for (char c : name) {
        // Each byte counts as a signed 8-bit number: bytes from 0x80 up lower the hash.
        hash = hash * 33u +
               static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(c)));
    }
    return hash;
}

std::size_t VarMap::SlotOf(std::string_view name, std::uint32_t hash) const {
    const std::size_t mask = index_.size() - 1;
    for (std::size_t slot = FirstSlot(hash, mask);; slot = (slot + 1) & mask) {
        const std::int32_t i = index_[slot];
        if (i == kNone || (entries_[i].hash == hash && entries_[i].name == name)) {
            return slot;
        }
    }
}

std::int32_t VarMap::IndexOf(std::string_view name, std::uint32_t hash) const {
    if (!index_.empty()) {
        return index_[SlotOf(name, hash)];
    }
    for (std::int32_t i = heads_[hash % kBucketCount]; i != kNone; i = entries_[i].next) {
        if (entries_[i].hash == hash && entries_[i].name == name) {
            return i;
        }
    }
    return kNone;
}

void VarMap::GrowIndex() {
    std::size_t slots = 4 * kChainOnlyLimit;
    while (slots < 2 * (entries_.size() + 1)) {
        slots *= 2;
    }
    index_.assign(slots, kNone);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        index_[SlotOf(entries_[i].name, entries_[i].hash)] = static_cast<std::int32_t>(i);
    }
}

void VarMap::Set(std::string_view name, HtxValue value) {
    const std::uint32_t hash = Hash(name);
    const std::int32_t found = IndexOf(name, hash);
    if (found != kNone) {
        entries_[found].value = std::move(value);
        return;
    }
    std::int32_t& head = heads_[hash % kBucketCount];
    entries_.push_back(Entry{std::string(name), std::move(value), hash, head});
    head = static_cast<std::int32_t>(entries_.size() - 1);
    if (entries_.size() > kChainOnlyLimit && 2 * entries_.size() > index_.size()) {
        GrowIndex();
    } else if (!index_.empty()) {
        index_[SlotOf(name, hash)] = head;
    }
}

const HtxValue* VarMap::Find(std::string_view name) const {
    const std::int32_t i = IndexOf(name, Hash(name));
    return i == kNone ? nullptr : &entries_[i].value;
}

void VarMap::Clear() {
    entries_.clear();
    heads_.fill(kNone);
    index_.clear();
}

void MapSetInt(VarMap& row, std::string_view name, std::int32_t value) {
    row.Set(name, HtxValue::MakeInt(value));
}

void MapSetString(VarMap& row, std::string_view name, std::string text) {
    row.Set(name, HtxValue::MakeString(std::move(text)));
}

void MapSetList(VarMap& row, std::string_view name, std::shared_ptr<RowList> list) {
    row.Set(name, HtxValue::MakeList(std::move(list)));
}
