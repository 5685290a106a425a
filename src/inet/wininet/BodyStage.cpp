#include "inet/wininet/BodyStage.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace wininet {

BodyStage::Put BodyStage::Append(const char* data, std::size_t size) {
    if (kLimit - end_ < size && begin_ > 0) {
        std::memmove(data_.get(), data_.get() + begin_, Unread());
        end_ -= begin_;
        begin_ = 0;
    }
    if (kLimit - end_ < size) {
        return Put::kFull;
    }
    if (size == 0) {
        return Put::kTaken;
    }
    if (data_ == nullptr) {
        data_.reset(new (std::nothrow) char[kLimit]);
        if (data_ == nullptr) {
            return Put::kNoMemory;
        }
    }
    std::memcpy(data_.get() + end_, data, size);
    end_ += size;
    return Put::kTaken;
}

std::size_t BodyStage::Take(void* buffer, std::size_t size) {
    const std::size_t count = std::min(size, Unread());
    if (count > 0) {
        std::memcpy(buffer, data_.get() + begin_, count);
        begin_ += count;
    }
    if (begin_ == end_) {
        begin_ = end_ = 0;
    }
    return count;
}

}  // namespace wininet
