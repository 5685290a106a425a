// Faults in the pages of a growing heap block ahead of the writes that fill it: the room of a
// small block at once, that of a large one on a thread of its own (started on first need), so
// that the writing thread does not pay for fresh memory itself.
#pragma once

#include <cstddef>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace inet {

class BackgroundFaulter {
  public:
    // From this capacity on, pages are faulted in on the thread.
    static constexpr size_t kBackgroundFrom = 4u << 20;
    // How far past the capacity the thread may go within the block's own room (HeapRoom), so
    // that the next growth finds its pages in already.
    static constexpr size_t kAhead = 8u << 20;

    BackgroundFaulter() = default;
    // Stops the thread; the block may then go.
    ~BackgroundFaulter();
    BackgroundFaulter(const BackgroundFaulter&) = delete;
    BackgroundFaulter& operator=(const BackgroundFaulter&) = delete;

    // While the returned lock is held the thread keeps off the block, which may then move.
    std::unique_lock<std::mutex> Hold() { return std::unique_lock<std::mutex>(lock_); }
    // The block (a heap block) now has `capacity` bytes, of which the first `from` are in
    // already; called under Hold. Faults in the rest, or has the thread do it.
    void Grown(char* block, size_t from, size_t capacity);

  private:
    void Run();

    std::mutex lock_;
    std::condition_variable changed_;
    char* block_ = nullptr;
    size_t target_ = 0;
    size_t done_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace inet
