#include "inet/GrowBlock.h"

#include <cstring>

namespace inet {

namespace {

constexpr size_t kReceiveFirst = 51200;
constexpr size_t kReceiveStepDoublingLimit = 1048576;
constexpr size_t kBlockAtHandStep = 1048576;
constexpr size_t kBlockAtHandSlack = 2u << 20;
constexpr size_t kDoublingMinimum = 512;
constexpr size_t kStreamRoom = (256u << 10) + 1;  // the NUL's byte on top

size_t ReceiveNext(size_t capacity, size_t count, size_t more, size_t& step) {
    if (capacity - count >= step / 2 && capacity > count + more) {
        return capacity;
    }
    do {
        if (step < kReceiveStepDoublingLimit) {
            step *= 2;
        }
        capacity = capacity > SIZE_MAX - step ? SIZE_MAX : capacity + step;
    } while (capacity <= count + more);
    return capacity;
}

size_t BlockAtHandNext(size_t capacity, size_t count, size_t more, size_t&) {
    const size_t needed = count + more;
    if (capacity > needed) {
        return capacity;
    }
    size_t grown = needed * 2 + 2;
    const size_t step = more + 1 > kBlockAtHandStep ? more + 1 : kBlockAtHandStep;
    if (step < grown - capacity) {
        grown = capacity + step;
    }
    return grown;
}

size_t DoublingNext(size_t capacity, size_t count, size_t more, size_t&) {
    size_t grown = capacity;
    while (grown <= count + more) {
        grown = grown > SIZE_MAX / 2 ? SIZE_MAX : grown * 2 + kDoublingMinimum;
    }
    return grown;
}

}  // namespace

const GrowthRule kStreamGrowth{kStreamRoom, 0, &DoublingNext, 0};
const GrowthRule kReceiveGrowth{kReceiveFirst, kReceiveFirst, &ReceiveNext, 0};
const GrowthRule kBlockAtHandGrowth{0, 0, &BlockAtHandNext, kBlockAtHandSlack};
const GrowthRule kDoublingGrowth{0, 0, &DoublingNext, 0};

bool GrowBlock::Resize(size_t capacity) {
    char* grown = static_cast<char*>(HeapReallocate(data_.get(), capacity));
    if (grown == nullptr) {
        return false;
    }
    data_.release();
    data_.reset(grown);
    capacity_ = capacity;
    return true;
}

bool GrowBlock::Start() {
    count_ = 0;
    step_ = rule_.firstStep;
    if (rule_.first > 0 && !Resize(rule_.first < limit_ ? rule_.first : limit_)) {
        return false;
    }
    if (data_ != nullptr) {
        data_.get()[0] = '\0';
    }
    return true;
}

bool GrowBlock::Prepare(size_t more) {
    if (more > SIZE_MAX - 2 - count_) {
        return false;
    }
    size_t step = step_;
    size_t target = rule_.next(capacity_, count_, more, step);
    if (target > limit_) {
        target = limit_;
    }
    if (target > capacity_) {
        if (!Resize(target)) {
            return false;
        }
        step_ = step;
    }
    return capacity_ >= count_ + more + 1;
}

void GrowBlock::Commit(size_t n) {
    count_ += n;
    data_.get()[count_] = '\0';
}

bool GrowBlock::Append(const void* bytes, size_t n) {
    if (!Prepare(n)) {
        return false;
    }
    if (n > 0) {
        std::memcpy(Room(), bytes, n);
    }
    Commit(n);
    return true;
}

void GrowBlock::Clear() {
    count_ = 0;
    if (data_ != nullptr) {
        data_.get()[0] = '\0';
    }
}

HeapPtr<char> GrowBlock::TakeFront(size_t n) {
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

HeapPtr<char> GrowBlock::Release() {
    if (data_ != nullptr && HeapRoom(data_.get()) - count_ > rule_.slack) {
        Resize(count_ + 1);
    }
    capacity_ = 0;
    count_ = 0;
    step_ = rule_.firstStep;
    return std::move(data_);
}

}  // namespace inet
