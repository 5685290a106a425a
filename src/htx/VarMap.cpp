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

void VarMap::Set(std::string_view name, HtxValue value) {
    const std::uint32_t hash = Hash(name);
    std::int32_t& head = heads_[hash % kBucketCount];
    for (std::int32_t i = head; i != kNone; i = entries_[i].next) {
        if (entries_[i].hash == hash && entries_[i].name == name) {
            entries_[i].value = std::move(value);
            return;
        }
    }
    entries_.push_back(Entry{std::string(name), std::move(value), hash, head});
    head = static_cast<std::int32_t>(entries_.size() - 1);
}

const HtxValue* VarMap::Find(std::string_view name) const {
    const std::uint32_t hash = Hash(name);
    for (std::int32_t i = heads_[hash % kBucketCount]; i != kNone; i = entries_[i].next) {
        if (entries_[i].hash == hash && entries_[i].name == name) {
            return &entries_[i].value;
        }
    }
    return nullptr;
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
