#include "archive/ByteStream.h"

#include <cstring>

int ByteStream::readByteSlow() {
    while (next_ >= end_) {
        if (!fill()) {
            return -1;
        }
    }
    return *next_++;
}

std::size_t ByteStream::read(void* dst, std::size_t count) {
    auto* out = static_cast<unsigned char*>(dst);
    std::size_t done = 0;
    while (done < count) {
        if (next_ >= end_ && !fill()) {
            break;
        }
        std::size_t n = static_cast<std::size_t>(end_ - next_);
        if (n > count - done) {
            n = count - done;
        }
        std::memcpy(out + done, next_, n);
        next_ += n;
        done += n;
    }
    return done;
}

MemoryStream::MemoryStream(std::string bytes) {
    assign(std::move(bytes));
}

void MemoryStream::assign(std::string bytes) {
    data_ = std::move(bytes);
    setPosition(0);
}

std::size_t MemoryStream::position() const {
    return static_cast<std::size_t>(next_ - reinterpret_cast<const unsigned char*>(data_.data()));
}

void MemoryStream::setPosition(std::size_t pos) {
    const auto* base = reinterpret_cast<const unsigned char*>(data_.data());
    next_ = base + pos;
    end_ = base + data_.size();
}

void MemoryStream::write(const void* src, std::size_t count) {
    std::size_t pos = position();
    const char* bytes = static_cast<const char*>(src);
    if (pos == data_.size()) {
        data_.append(bytes, count);
    } else {
        std::size_t overlap = count < data_.size() - pos ? count : data_.size() - pos;
        data_.replace(pos, overlap, bytes, count);
    }
    setPosition(pos + count);
}

std::string MemoryStream::release() {
    std::string out = std::move(data_);
    data_.clear();
    setPosition(0);
    return out;
}
