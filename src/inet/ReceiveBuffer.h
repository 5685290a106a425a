// The growable buffer that holds a response as the socket transport reads it (the body, once
// the header block has been taken out). It starts
// at 51200 bytes and grows by a step that doubles from 51200 up to 1638400 bytes whenever less
// than half a step of room is left, so that large responses need few reallocations. One byte is
// always kept for the NUL after the bytes read.
#pragma once

#include <cstddef>
#include <cstdint>

#include <memory>

#include "inet/InetHeap.h"

namespace inet {

class ReceiveBuffer {
  public:
    static constexpr size_t kInitialCapacity = 51200;
    static constexpr size_t kStepDoublingLimit = 1048576;
    // A response's bytes are counted in 32 bits: a buffer never grows beyond this.
    static constexpr size_t kDefaultLimit = UINT32_MAX;

    explicit ReceiveBuffer(size_t limit = kDefaultLimit) : limit_(limit) {}

    // Allocates the first block; false when memory runs out.
    bool Start();
    // Where the next bytes go, and how many fit (always leaving the byte for the NUL).
    char* Room() { return data_.get() + count_; }
    size_t RoomSize() const { return capacity_ - count_ - 1; }
    // Takes `n` bytes just written into Room(), puts the NUL after them and grows the buffer when
    // less than half a step of room is left. False when it cannot grow (memory, or the limit).
    bool Commit(size_t n);

    char* Data() { return data_.get(); }
    size_t Count() const { return count_; }
    size_t Capacity() const { return capacity_; }
    // Takes the first `n` bytes out as a block of their own (followed by a NUL) and moves the
    // rest to the front, where the following bytes continue it. Null when memory runs out.
    HeapPtr<char> TakeFront(size_t n);
    // Hands the block to the caller (HeapRelease), shrunk to `keep` bytes.
    char* Release(size_t keep);

  private:
    HeapPtr<char> data_;
    size_t capacity_ = 0;
    size_t step_ = kInitialCapacity;
    size_t count_ = 0;
    size_t limit_;
};

}  // namespace inet
