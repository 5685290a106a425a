#include "inet/MemoryStream.h"

#include <cstring>

namespace inet {

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
