// The memory streams under the gzip writer and reader: an output stream that grows a block of
// the library's heap (doubling), and an input stream that reads borrowed bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "inet/GrowBlock.h"
#include "inet/InetHeap.h"

namespace inet {

// Appends to a growable block of the library's heap. Writes report false when memory runs out;
// the bytes written before stay.
class MemoryOutStream {
  public:
    MemoryOutStream() : block_(kDoublingGrowth) {}
    MemoryOutStream(const MemoryOutStream&) = delete;
    MemoryOutStream& operator=(const MemoryOutStream&) = delete;

    bool Write(const void* bytes, size_t count) { return block_.Append(bytes, count); }
    bool Put(uint8_t byte) { return Write(&byte, 1); }

    const uint8_t* Data() const { return reinterpret_cast<const uint8_t*>(block_.Data()); }
    size_t Size() const { return block_.Count(); }

    // Hands the block (null when nothing was written) to the caller, who releases it with
    // HeapRelease; the stream is empty afterwards.
    uint8_t* Release() { return reinterpret_cast<uint8_t*>(block_.Release().release()); }

  private:
    GrowBlock block_;
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

  private:
    const uint8_t* bytes_;
    size_t size_;
    size_t position_ = 0;
};

}  // namespace inet
