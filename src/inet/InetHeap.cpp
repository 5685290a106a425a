#include "inet/InetHeap.h"

#include <sys/mman.h>
#include <cstdint>
#include <cstdlib>

#include "QuarInet.h"

namespace inet {

void* HeapAllocate(size_t size) {
    return std::malloc(size == 0 ? 1 : size);
}

void* HeapReallocate(void* block, size_t size) {
    return std::realloc(block, size == 0 ? 1 : size);
}

void HeapRelease(void* block) {
    std::free(block);
}

void HeapPrefault(void* at, size_t size) {
    // madvise's MADV_POPULATE_WRITE, by number: older headers lack the name.
    constexpr int kPopulateWrite = 23;
    constexpr uintptr_t kPage = 4096;
    const uintptr_t start = (reinterpret_cast<uintptr_t>(at) + kPage - 1) & ~(kPage - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(at) + size) & ~(kPage - 1);
    if (end > start) {
        madvise(reinterpret_cast<void*>(start), end - start, kPopulateWrite);
    }
}

}  // namespace inet

void QuarInetFree(void* block) {
    inet::HeapRelease(block);
}
