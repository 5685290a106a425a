// The library's own heap: every block handed to a client comes from here and goes back through
// QuarInetFree. Failures are reported as null, never thrown.
#pragma once

#include <cstddef>

#include <memory>

namespace inet {

// A block of `size` bytes, or null when memory runs out.
void* HeapAllocate(size_t size);
// Resizes `block` (null allocates); on failure returns null and leaves `block` as it was.
void* HeapReallocate(void* block, size_t size);
// The bytes `block` can grow to without moving: at least its size.
size_t HeapRoom(void* block);
// Releases a block of this heap; null is ignored.
void HeapRelease(void* block);

struct HeapDeleter {
    void operator()(void* block) const { HeapRelease(block); }
};

// Owns a heap block until it is handed to a client with release().
template <typename T>
using HeapPtr = std::unique_ptr<T, HeapDeleter>;

}  // namespace inet
