// Memory for large buffers in huge pages. Fresh memory is paid for per page on its first touch,
// and on a virtual machine a small page can cost a hundred times what filling it does: a buffer
// of megabytes in 2 MiB pages takes one fault where small pages take 512.
#pragma once

#include <cstddef>

constexpr std::size_t kHugePage = 2u << 20;

// An address range of `length` bytes (a multiple of kHugePage) that starts on a huge page,
// mapped readable and writable and marked for huge pages (advice: where the system has none it
// works with small ones); null when the address space runs out. The caller unmaps it.
char* MapHugeAligned(std::size_t length);

// A buffer of at least `size` bytes in such a mapping, unmapped with the object. Its bytes start
// as zeros.
class HugePageBuffer {
  public:
    HugePageBuffer() = default;
    // An empty buffer (data() null) when the address space runs out.
    explicit HugePageBuffer(std::size_t size);
    ~HugePageBuffer();
    HugePageBuffer(HugePageBuffer&& other) noexcept;
    HugePageBuffer& operator=(HugePageBuffer&& other) noexcept;
    HugePageBuffer(const HugePageBuffer&) = delete;
    HugePageBuffer& operator=(const HugePageBuffer&) = delete;

    char* data() const { return data_; }
    // The bytes usable: the size asked for, rounded up to whole huge pages; 0 when empty.
    std::size_t size() const { return size_; }

  private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
};
