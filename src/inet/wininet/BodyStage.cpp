#include "inet/wininet/BodyStage.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace wininet {

namespace {

// The first room a body gets: most pages fit.
constexpr std::size_t kFirstRoom = 64u << 10;

}  // namespace

BodyStage::Put BodyStage::Append(const char* data, std::size_t size) {
    if (capacity_ - end_ < size) {
        if (begin_ > 0) {
            std::memmove(data_, data_ + begin_, Unread());
            end_ -= begin_;
            begin_ = 0;
        }
        if (capacity_ - end_ < size) {
            if (Unread() > 0 && end_ + size > kLimit) {
                return Put::kFull;
            }
            if (!Grow(end_ + size)) {
                return Put::kNoMemory;
            }
        }
    }
    if (size > 0) {
        std::memcpy(data_ + end_, data, size);
        end_ += size;
    }
    return Put::kTaken;
}

std::size_t BodyStage::Take(void* buffer, std::size_t size) {
    const std::size_t count = std::min(size, Unread());
    if (count > 0) {
        std::memcpy(buffer, data_ + begin_, count);
        begin_ += count;
    }
    if (begin_ == end_) {
        begin_ = end_ = 0;
    }
    return count;
}

bool BodyStage::Grow(std::size_t needed) {
    // Doubling, but never past the limit unless one piece needs more.
    const std::size_t capacity =
        std::min(std::max({needed, kFirstRoom, 2 * capacity_}), std::max(needed, kLimit));
    std::unique_ptr<char[]> heap(new (std::nothrow) char[capacity]);
    if (heap == nullptr) {
        return false;
    }
    if (Unread() > 0) {
        std::memcpy(heap.get(), data_ + begin_, Unread());
    }
    heap_ = std::move(heap);
    data_ = heap_.get();
    capacity_ = capacity;
    end_ = Unread();
    begin_ = 0;
    return true;
}

}  // namespace wininet
