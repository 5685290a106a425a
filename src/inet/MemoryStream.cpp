#include "inet/MemoryStream.h"

#include <cstring>

namespace inet {

bool MemoryOutStream::Reserve(size_t capacity) {
    if (capacity <= capacity_) {
        return true;
    }
    void* grown = HeapReallocate(buffer_.get(), capacity);
    if (grown == nullptr) {
        return false;
    }
    buffer_.release();
    buffer_.reset(static_cast<uint8_t*>(grown));
    capacity_ = capacity;
    return true;
}

bool MemoryOutStream::Write(const void* bytes, size_t count) {
    if (count == 0) {
        return true;
    }
    if (count > SIZE_MAX - size_) {
        return false;
    }
    if (size_ + count > capacity_) {
        size_t capacity = capacity_;
        while (capacity < size_ + count) {
            capacity = capacity > (SIZE_MAX - 512) / 2 ? SIZE_MAX : capacity * 2 + 512;
        }
        if (!Reserve(capacity)) {
            return false;
        }
    }
    std::memcpy(buffer_.get() + size_, bytes, count);
    size_ += count;
    return true;
}

uint8_t* MemoryOutStream::Release() {
    size_ = 0;
    capacity_ = 0;
    return buffer_.release();
}

size_t MemoryInStream::Read(void* out, size_t count) {
    if (count > Remaining()) {
        count = Remaining();
    }
    if (count == 0) {
        return 0;
    }
    std::memcpy(out, bytes_ + position_, count);
    position_ += count;
    return count;
}

int MemoryInStream::Get() {
    if (position_ == size_) {
        return -1;
    }
    return bytes_[position_++];
}

bool MemoryInStream::Skip(size_t count) {
    if (count > Remaining()) {
        position_ = size_;
        return false;
    }
    position_ += count;
    return true;
}

}  // namespace inet
