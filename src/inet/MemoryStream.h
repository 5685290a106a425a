// The memory stream under the gzip writer: an output stream that grows a block of the library's
// heap (doubling).
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

}  // namespace inet
