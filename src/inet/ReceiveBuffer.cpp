#include "inet/ReceiveBuffer.h"

#include <cstring>

namespace inet {

bool ReceiveBuffer::Start() {
    data_.reset(static_cast<char*>(HeapAllocate(kInitialCapacity)));
    capacity_ = data_ != nullptr ? kInitialCapacity : 0;
    step_ = kInitialCapacity;
    count_ = 0;
    if (data_ != nullptr) {
        data_.get()[0] = '\0';
    }
    return data_ != nullptr;
}

bool ReceiveBuffer::Commit(size_t n) {
    count_ += n;
    data_.get()[count_] = '\0';
    if (capacity_ - count_ >= step_ / 2) {
        return true;
    }
    if (step_ < kStepDoublingLimit) {
        step_ *= 2;
    }
    // At the limit the room left may still be filled; a response that needs more is too large.
    const size_t grow = step_ < limit_ - capacity_ ? step_ : limit_ - capacity_;
    if (grow == 0) {
        return RoomSize() > 0;
    }
    char* grown = static_cast<char*>(HeapReallocate(data_.get(), capacity_ + grow));
    if (grown == nullptr) {
        return false;
    }
    data_.release();
    data_.reset(grown);
    capacity_ += grow;
    return true;
}

HeapPtr<char> ReceiveBuffer::TakeFront(size_t n) {
    HeapPtr<char> front(static_cast<char*>(HeapAllocate(n + 1)));
    if (front == nullptr) {
        return front;
    }
    std::memcpy(front.get(), data_.get(), n);
    front.get()[n] = '\0';
    std::memmove(data_.get(), data_.get() + n, count_ - n + 1);
    count_ -= n;
    return front;
}

char* ReceiveBuffer::Release(size_t keep) {
    char* block = data_.release();
    if (char* shrunk = static_cast<char*>(HeapReallocate(block, keep))) {
        block = shrunk;
    }
    capacity_ = 0;
    count_ = 0;
    return block;
}

}  // namespace inet
