// The one growable block of the library's heap under every buffer that a response or a gzip
// stream fills: its owner gives the rule by which it grows and its limit, so each buffer keeps
// its own growth figures while the moving, bounding and trimming live here. One byte past the
// bytes held is always kept for a NUL.
#pragma once

#include <cstddef>
#include <cstdint>

#include "inet/InetHeap.h"

namespace inet {

// How a block grows. `next` answers the capacity for a block of `capacity` bytes holding
// `count` bytes that is to take `more` bytes (and the NUL), or `capacity` itself when it need
// not grow; `step` is the rule's own memory, starting at `firstStep`.
struct GrowthRule {
    size_t first;  // capacity that Start allocates (0: none until bytes come)
    size_t firstStep;
    size_t (*next)(size_t capacity, size_t count, size_t more, size_t& step);
    // Release gives back the room past the bytes when more than this is unused.
    size_t slack;
};

class GrowBlock {
  public:
    explicit GrowBlock(const GrowthRule& rule, size_t limit = SIZE_MAX)
        : rule_(rule), step_(rule.firstStep), limit_(limit) {}
    GrowBlock(const GrowBlock&) = delete;
    GrowBlock& operator=(const GrowBlock&) = delete;

    // Allocates the rule's first capacity; false when memory runs out.
    bool Start();
    // Grows by the rule so that `more` bytes fit after those held, never past the limit. False
    // when memory or the limit refuse it (the block stays as it was).
    bool Prepare(size_t more);
    // Where the next bytes go, and how many fit.
    char* Room() { return data_.get() + count_; }
    size_t RoomSize() const { return capacity_ == 0 ? 0 : capacity_ - count_ - 1; }
    // Takes `n` bytes just written into Room() and puts the NUL after them.
    void Commit(size_t n);
    // Prepare, copy and Commit.
    bool Append(const void* bytes, size_t n);

    char* Data() { return data_.get(); }
    const char* Data() const { return data_.get(); }
    size_t Count() const { return count_; }
    size_t Capacity() const { return capacity_; }
    // Forgets the bytes held; the room stays.
    void Clear();
    // Takes the first `n` bytes out as a block of their own (followed by a NUL) and moves the
    // rest to the front. Null when memory runs out.
    HeapPtr<char> TakeFront(size_t n);
    // Hands the bytes with their NUL to the caller (HeapRelease), their unused room given back
    // beyond the rule's slack; null when nothing was ever allocated. The block is empty after.
    HeapPtr<char> Release();

  private:
    bool Resize(size_t capacity);

    GrowthRule rule_;
    HeapPtr<char> data_;
    size_t capacity_ = 0;
    size_t count_ = 0;
    size_t step_;
    size_t limit_;
};

// The socket transport's receive buffer: 51200 bytes first, then a step that doubles from 51200
// up to 1638400 bytes is added whenever less than half a step of room is left.
extern const GrowthRule kReceiveGrowth;
// The browser-settings transport's body: for `needed` bytes (body and the block at hand) twice
// that, but never more than max(block + 1, 1 MiB) past the capacity; room past 2 MiB is given
// back at the end.
extern const GrowthRule kBlockAtHandGrowth;
// Doubling, for bytes whose final size is unknown (gzip in and out).
extern const GrowthRule kDoublingGrowth;
// A streamed response's room: reads of 256 KiB, doubled only for a longer header block.
extern const GrowthRule kStreamGrowth;

}  // namespace inet
