// Body bytes that have arrived and await the reader, in the order they came: one window of
// fixed size, allocated with the first bytes and lent from one transfer of a thread to the next,
// so that its memory is warm after the first.
#pragma once

#include <cstddef>
#include <memory>

namespace wininet {

class BodyStage {
  public:
    // The window: a reader slower than the network keeps the memory bounded, and libcurl is
    // paused while it is full. Larger than any one piece libcurl hands on (its receive buffer).
    static constexpr std::size_t kLimit = 1u << 20;
    enum class Put {
        kTaken,
        kFull,      // they do not fit after the unread bytes: nothing was taken
        kNoMemory,  // nothing was taken
    };

    // Keeps `size` bytes after those unread.
    Put Append(const char* data, std::size_t size);
    // Moves up to `size` unread bytes to `buffer`; answers their count.
    std::size_t Take(void* buffer, std::size_t size);
    std::size_t Unread() const { return end_ - begin_; }
    // Forgets the unread bytes; the memory stays for the next body.
    void Clear() { begin_ = end_ = 0; }
    // The bytes the stage holds room for (0 before the first bytes).
    std::size_t Capacity() const { return data_ != nullptr ? kLimit : 0; }

  private:
    std::unique_ptr<char[]> data_;
    std::size_t begin_ = 0;  // unread bytes: [begin_, end_) of data_
    std::size_t end_ = 0;
};

}  // namespace wininet
