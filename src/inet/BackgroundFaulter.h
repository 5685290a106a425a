// Faults in the pages of a growing heap block on a thread of its own, ahead of the reads that
// fill it, so that the reading thread does not pay for fresh memory itself.
#pragma once

#include <cstddef>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace inet {

// Blocks that grow to this size are worth a faulter: from there on, their pages are faulted in
// on a thread of their own.
constexpr size_t kBackgroundFaultFrom = 4u << 20;

class BackgroundFaulter {
  public:
    // Pages below `done` bytes of the block are in already.
    explicit BackgroundFaulter(size_t done) : done_(done) {}
    ~BackgroundFaulter();
    BackgroundFaulter(const BackgroundFaulter&) = delete;
    BackgroundFaulter& operator=(const BackgroundFaulter&) = delete;

    // While the returned lock is held the faulter keeps off the block, which may then move.
    std::unique_lock<std::mutex> Hold() { return std::unique_lock<std::mutex>(lock_); }
    // The block's place and size now; called under Hold. Starts the thread on the first call
    // (false when no thread can be started: the caller then faults the pages in itself).
    bool Update(char* block, size_t size);

  private:
    void Run();

    std::mutex lock_;
    std::condition_variable changed_;
    char* block_ = nullptr;
    size_t size_ = 0;
    size_t done_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace inet
