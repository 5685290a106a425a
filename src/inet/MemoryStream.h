// The memory streams under the gzip writer and reader: an output stream that grows a block of
// the library's heap, and an input stream that reads borrowed bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "inet/InetHeap.h"

namespace inet {

// Appends to a growable block of the library's heap. Writes report false when memory runs out;
// the bytes written before stay.
class MemoryOutStream {
  public:
    MemoryOutStream() = default;
    MemoryOutStream(const MemoryOutStream&) = delete;
    MemoryOutStream& operator=(const MemoryOutStream&) = delete;

    bool Write(const void* bytes, size_t count);
    bool Put(uint8_t byte) { return Write(&byte, 1); }
    // Grows the capacity to at least `capacity` bytes in one step.
    bool Reserve(size_t capacity);

    const uint8_t* Data() const { return buffer_.get(); }
    size_t Size() const { return size_; }
    size_t Capacity() const { return capacity_; }

    // Hands the block (null when nothing was written) to the caller, who releases it with
    // HeapRelease; the stream is empty afterwards.
    uint8_t* Release();

  private:
    HeapPtr<uint8_t> buffer_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// Reads the `size` bytes at `bytes`, which the caller keeps alive for the stream's lifetime.
class MemoryInStream {
  public:
    MemoryInStream(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

    // Copies up to `count` bytes and advances; returns how many, 0 at the end.
    size_t Read(void* out, size_t count);
    // The next byte and advances, or -1 at the end.
    int Get();
    // Advances by up to `count` bytes; false when fewer were left.
    bool Skip(size_t count);

    // Direct access to the unread bytes, for consumers that read in place.
    const uint8_t* Current() const { return bytes_ + position_; }
    size_t Remaining() const { return size_ - position_; }
    size_t Position() const { return position_; }

  private:
    const uint8_t* bytes_;
    size_t size_;
    size_t position_ = 0;
};

}  // namespace inet
