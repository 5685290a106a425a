#include "platform/HugePages.h"

#include <sys/mman.h>

#include <cstdint>
#include <utility>

namespace {

std::size_t RoundUpToHugePage(std::size_t n) {
    return (n + kHugePage - 1) / kHugePage * kHugePage;
}

}  // namespace

char* MapHugeAligned(std::size_t length) {
    // Mapped one huge page longer, then trimmed at both ends to the aligned range.
    const std::size_t span = length + kHugePage;
    void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) {
        return nullptr;
    }
    char* start = static_cast<char*>(raw);
    char* aligned =
        reinterpret_cast<char*>(RoundUpToHugePage(reinterpret_cast<std::uintptr_t>(start)));
    if (aligned > start) {
        munmap(start, static_cast<std::size_t>(aligned - start));
    }
    char* end = start + span;
    if (end > aligned + length) {
        munmap(aligned + length, static_cast<std::size_t>(end - (aligned + length)));
    }
    madvise(aligned, length, MADV_HUGEPAGE);
    return aligned;
}

HugePageBuffer::HugePageBuffer(std::size_t size) {
    if (size > SIZE_MAX - 2 * kHugePage) {
        return;
    }
    const std::size_t length = RoundUpToHugePage(size == 0 ? 1 : size);
    data_ = MapHugeAligned(length);
    size_ = data_ != nullptr ? length : 0;
}

HugePageBuffer::~HugePageBuffer() {
    if (data_ != nullptr) {
        munmap(data_, size_);
    }
}

HugePageBuffer::HugePageBuffer(HugePageBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

HugePageBuffer& HugePageBuffer::operator=(HugePageBuffer&& other) noexcept {
    if (this != &other) {
        HugePageBuffer old(std::move(*this));
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}
