// Body bytes that have arrived and await the reader, in the order they came, on the C heap. The
// stage is lent from one transfer of a thread to the next, so its memory is warm after the
// first.
#pragma once

#include <cstddef>
#include <memory>

namespace wininet {

class BodyStage {
  public:
    // The most the stage holds while bytes are unread: a reader slower than the network keeps
    // the memory bounded.
    static constexpr std::size_t kLimit = 4u << 20;
    enum class Put {
        kTaken,
        kFull,      // holding them would pass kLimit while bytes are unread: nothing was taken
        kNoMemory,  // nothing was taken
    };

    // Keeps `size` bytes after those unread. A piece larger than kLimit is taken when nothing
    // is unread.
    Put Append(const char* data, std::size_t size);
    // Moves up to `size` unread bytes to `buffer`; answers their count.
    std::size_t Take(void* buffer, std::size_t size);
    std::size_t Unread() const { return end_ - begin_; }
    // Forgets the unread bytes; the memory stays for the next body.
    void Clear() { begin_ = end_ = 0; }
    // The bytes the stage holds room for.
    std::size_t Capacity() const { return capacity_; }

  private:
    // Storage of at least `needed` bytes holding the unread ones at its start; false when
    // there is no memory for it (the stage is left as it was).
    bool Grow(std::size_t needed);

    std::unique_ptr<char[]> heap_;
    char* data_ = nullptr;  // heap_
    std::size_t capacity_ = 0;
    std::size_t begin_ = 0;  // unread bytes: [begin_, end_) of data_
    std::size_t end_ = 0;
};

}  // namespace wininet
