// A map from variable name to HtxValue: the global variables of a processor, and each row of a
// RowList.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "htx/HtxValue.h"

// A hash table of a fixed 17 buckets that never grows. Its iteration order is visible to
// templates (it is the column order of the HTML table of a List), so the hash, the bucket
// choice and the chain order are part of the contract:
//   hash = hash * 33 + (signed byte), unsigned 32-bit wrapping, starting at 0;
//   bucket = hash % 17; a new name goes to the front of its bucket's chain;
//   iteration visits buckets 0..16, each chain from its front (newest first).
// Names are byte strings compared byte for byte (case-sensitive, NUL bytes allowed).
// Replacing the value of an existing name keeps its place in the chain.
//
// The buckets fix the order only. Beyond a few entries, lookups go through an index from name
// to entry kept beside them, so Set and Find take constant time however many names a request
// brings.
class VarMap {
  public:
    static constexpr std::size_t kBucketCount = 17;

    static std::uint32_t Hash(std::string_view name);
    // The first slot of a hash in an open-addressing index of `mask` + 1 slots (a power of
    // two): the hash spread over the low bits, which alone pick the slot.
    static std::size_t FirstSlot(std::uint32_t hash, std::size_t mask) {
        return static_cast<std::size_t>((hash * 0x9E3779B1u) ^ (hash >> 15)) & mask;
    }

    // Puts the value under the name, replacing any earlier value.
    void Set(std::string_view name, HtxValue value);

    // The value under the name, or null. The pointer stays valid until the next Set on this map.
    const HtxValue* Find(std::string_view name) const;

    // Makes room for that many entries without changing the map.
    void Reserve(std::size_t count) { entries_.reserve(count); }

    // Removes every entry, keeping the memory for reuse.
    void Clear();

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

    // Calls visit(name, value) for each entry in iteration order.
    template <typename Visit>
    void ForEach(Visit&& visit) const {
        for (std::int32_t head : heads_) {
            for (std::int32_t i = head; i != kNone; i = entries_[i].next) {
                visit(entries_[i].name, entries_[i].value);
            }
        }
    }

  private:
    static constexpr std::int32_t kNone = -1;
    // Maps up to this size are searched along their bucket chain; larger ones get the index.
    static constexpr std::size_t kChainOnlyLimit = 8;

    struct Entry {
        std::string name;
        HtxValue value;
        std::uint32_t hash;
        std::int32_t next;  // next entry of the same bucket, or kNone
    };

    // The entry of that name, or kNone.
    std::int32_t IndexOf(std::string_view name, std::uint32_t hash) const;
    // The index slot where the entry of that name is, or the empty slot where it would go.
    std::size_t SlotOf(std::string_view name, std::uint32_t hash) const;
    // Rebuilds the index with room for twice the entries.
    void GrowIndex();

    std::vector<Entry> entries_;
    std::array<std::int32_t, kBucketCount> heads_{kNone, kNone, kNone, kNone, kNone, kNone,
                                                  kNone, kNone, kNone, kNone, kNone, kNone,
                                                  kNone, kNone, kNone, kNone, kNone};
    // Open addressing with linear probing: entry numbers, kNone for an empty slot. Its size is
    // a power of two, at least twice the entries; empty while the map is small.
    std::vector<std::int32_t> index_;
};

class RowList;

// Row builders used by all code that makes lists: each puts a value of its kind under the name,
// replacing any earlier one.
void MapSetInt(VarMap& row, std::string_view name, std::int32_t value);
void MapSetString(VarMap& row, std::string_view name, std::string text);
void MapSetList(VarMap& row, std::string_view name, std::shared_ptr<RowList> list);
