#include "inet/InetHeap.h"

#include <stdlib.h>

#include "QuarInet.h"

namespace inet {

void* HeapAllocate(size_t size) {
    return malloc(size == 0 ? 1 : size);
}

void* HeapReallocate(void* block, size_t size) {
    return realloc(block, size == 0 ? 1 : size);
}

void HeapRelease(void* block) {
    free(block);
}

}  // namespace inet

void QuarInetFree(void* block) {
    inet::HeapRelease(block);
}
