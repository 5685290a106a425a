#include "inet/InetHeap.h"

#include <sys/mman.h>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <cstddef>

#include "QuarInet.h"
#include "platform/FailurePoint.h"

namespace inet {

namespace {

// Every block starts with this header, so that growing and freeing know where it came from.
struct BlockHeader {
    size_t size;     // bytes the caller asked for
    size_t mapping;  // length of the block's own mapping, or 0 for a block of the C heap
};
constexpr size_t kHeader = alignof(std::max_align_t) > sizeof(BlockHeader)
                               ? alignof(std::max_align_t)
                               : sizeof(BlockHeader);

// Large blocks (a big response body) get a mapping of their own, aligned to and sized in huge
// pages and marked for them: fresh memory is paid for per page on first touch, and on a
// virtual machine a small page can cost a hundred times what filling it does. From 1 MiB on a
// block wastes at most half of its huge pages; a body growing to 4 MiB on small pages took a
// thousand faults. Growth moves the mapping's pages instead of copying them. Under
// AddressSanitizer every block stays on the C heap, where overruns are caught.
#if defined(__SANITIZE_ADDRESS__)
#define QUAR_HEAP_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUAR_HEAP_CHECKED 1
#endif
#endif
#ifdef QUAR_HEAP_CHECKED
constexpr size_t kMappedFrom = SIZE_MAX;
#else
constexpr size_t kMappedFrom = 1u << 20;
#endif

constexpr size_t kHugePage = 2u << 20;

size_t RoundUp(size_t n, size_t unit) {
    return (n + unit - 1) / unit * unit;
}

// An address range of `length` bytes (a multiple of kHugePage) that starts on a huge page,
// marked for huge pages (advice: where the system has none it works with small ones); null when
// the address space runs out.
char* MapHugeAligned(size_t length) {
    // Mapped one huge page longer, then trimmed at both ends to the aligned range.
    const size_t span = length + kHugePage;
    void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) {
        return nullptr;
    }
    char* start = static_cast<char*>(raw);
    char* aligned = reinterpret_cast<char*>(RoundUp(reinterpret_cast<uintptr_t>(start), kHugePage));
    if (aligned > start) {
        munmap(start, static_cast<size_t>(aligned - start));
    }
    char* end = start + span;
    if (end > aligned + length) {
        munmap(aligned + length, static_cast<size_t>(end - (aligned + length)));
    }
    madvise(aligned, length, MADV_HUGEPAGE);
    return aligned;
}

BlockHeader* HeaderOf(void* block) {
    return reinterpret_cast<BlockHeader*>(static_cast<char*>(block) - kHeader);
}

void* BlockOf(BlockHeader* header) {
    return reinterpret_cast<char*>(header) + kHeader;
}

BlockHeader* MapBlock(size_t size) {
    const size_t mapping = RoundUp(size + kHeader, kHugePage);
    char* at = MapHugeAligned(mapping);
    if (at == nullptr) {
        return nullptr;
    }
    auto* header = reinterpret_cast<BlockHeader*>(at);
    header->size = size;
    header->mapping = mapping;
    return header;
}

BlockHeader* GrowMapped(BlockHeader* header, size_t size) {
    // Doubling keeps the number of moves logarithmic in the final size.
    const size_t wanted =
        size + kHeader > header->mapping * 2 ? size + kHeader : header->mapping * 2;
    const size_t mapping = RoundUp(wanted, kHugePage);
    char* target = MapHugeAligned(mapping);
    if (target == nullptr) {
        return nullptr;
    }
    // Moves the page tables (whole huge pages where both ends are aligned) onto the target.
    void* moved = mremap(header, header->mapping, mapping, MREMAP_MAYMOVE | MREMAP_FIXED, target);
    if (moved == MAP_FAILED) {
        std::memcpy(target, header, header->size + kHeader);
        munmap(header, header->mapping);
    }
    madvise(target, mapping, MADV_HUGEPAGE);
    header = reinterpret_cast<BlockHeader*>(target);
    header->size = size;
    header->mapping = mapping;
    return header;
}

void ShrinkMapped(BlockHeader* header, size_t size) {
    const size_t keep = RoundUp(size + kHeader, kHugePage);
    if (keep < header->mapping) {
        munmap(reinterpret_cast<char*>(header) + keep, header->mapping - keep);
        header->mapping = keep;
    }
    header->size = size;
}

}  // namespace

void* HeapAllocate(size_t size) {
    if (size > SIZE_MAX - kHugePage - kHeader || failure_point::Fails(FailureSite::kHeap)) {
        return nullptr;
    }
    BlockHeader* header = nullptr;
    if (size >= kMappedFrom) {
        header = MapBlock(size);
    } else if ((header = static_cast<BlockHeader*>(std::malloc(kHeader + size))) != nullptr) {
        header->size = size;
        header->mapping = 0;
    }
    return header != nullptr ? BlockOf(header) : nullptr;
}

void* HeapReallocate(void* block, size_t size) {
    if (block == nullptr) {
        return HeapAllocate(size);
    }
    if (size > SIZE_MAX - kHugePage - kHeader || failure_point::Fails(FailureSite::kHeap)) {
        return nullptr;
    }
    BlockHeader* header = HeaderOf(block);
    if (header->mapping != 0) {
        if (size + kHeader > header->mapping) {
            header = GrowMapped(header, size);
        } else if (size < header->size) {
            ShrinkMapped(header, size);
        } else {
            header->size = size;  // growth into the room the mapping has
        }
        return header != nullptr ? BlockOf(header) : nullptr;
    }
    if (size >= kMappedFrom) {
        BlockHeader* mapped = MapBlock(size);
        if (mapped == nullptr) {
            return nullptr;
        }
        std::memcpy(BlockOf(mapped), block, header->size);
        std::free(header);
        return BlockOf(mapped);
    }
    auto* grown = static_cast<BlockHeader*>(std::realloc(header, kHeader + size));
    if (grown == nullptr) {
        return nullptr;
    }
    grown->size = size;
    return BlockOf(grown);
}

size_t HeapRoom(void* block) {
    const BlockHeader* header = HeaderOf(block);
    return header->mapping != 0 ? header->mapping - kHeader : header->size;
}

void HeapRelease(void* block) {
    if (block == nullptr) {
        return;
    }
    BlockHeader* header = HeaderOf(block);
    if (header->mapping != 0) {
        munmap(header, header->mapping);
    } else {
        std::free(header);
    }
}

}  // namespace inet

void QuarInetFree(void* block) {
    inet::HeapRelease(block);
}
