// Faults in the pages of a growing heap block ahead of the writes that fill it: the room of a
// small block at once, that of a large one on a thread of its own (started on first need), so
// that the writing thread does not pay for fresh memory itself.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>

namespace inet {

class BackgroundFaulter {
  public:
    // From this capacity on, pages are faulted in on the thread.
    static constexpr std::size_t kBackgroundFrom = 4u << 20;
    // How far past the capacity the thread may go within the block's own room (HeapRoom), so
    // that the next growth finds its pages in already.
    static constexpr std::size_t kAhead = 8u << 20;

    BackgroundFaulter() = default;
    // Stops the thread; the block may then go.
    ~BackgroundFaulter();
    BackgroundFaulter(const BackgroundFaulter&) = delete;
    BackgroundFaulter& operator=(const BackgroundFaulter&) = delete;

    // Held across a resize of the block to `size` bytes and the Grown call after it. When the
    // resize may move the block or cut its room (HeapResizesInPlace), it first waits for the
    // thread to leave the block; a growth into the room goes ahead while the thread works.
    class Resize {
      public:
        Resize(BackgroundFaulter& faulter, void* block, std::size_t size);

      private:
        std::unique_lock<std::mutex> hold_;
    };

    // The block (a heap block) now has `capacity` bytes, of which the first `from` are in
    // already; called under a Resize. Faults in the rest, or has the thread do it.
    void Grown(char* block, std::size_t from, std::size_t capacity);

  private:
    void Run();

    std::mutex lock_;
    std::condition_variable changed_;  // work or stop for the thread
    std::condition_variable idle_;     // the thread left the block
    char* block_ = nullptr;
    std::size_t target_ = 0;
    std::size_t done_ = 0;
    bool busy_ = false;  // the thread is faulting pages in without the lock
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace inet
