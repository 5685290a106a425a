#include "inet/BackgroundFaulter.h"

#include <algorithm>
#include <system_error>

#include "inet/InetHeap.h"

namespace inet {
namespace {

// The memory faulted in per turn: one huge page.
constexpr std::size_t kTurn = 2u << 20;

}  // namespace

BackgroundFaulter::~BackgroundFaulter() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stop_ = true;
    }
    changed_.notify_one();
    if (thread_.joinable()) {
        thread_.join();
    }
}

BackgroundFaulter::Resize::Resize(BackgroundFaulter& faulter, void* block, std::size_t size)
    : hold_(faulter.lock_) {
    if (block != nullptr && !HeapResizesInPlace(block, size)) {
        faulter.idle_.wait(hold_, [&faulter] { return !faulter.busy_; });
    }
}

void BackgroundFaulter::Grown(char* block, std::size_t from, std::size_t capacity) {
    // Pages the thread faulted in move with the block (the heap moves large blocks' pages).
    block_ = block;
    done_ = std::max(done_, from);
    if (capacity < kBackgroundFrom) {
        if (done_ < capacity) {
            HeapPrefault(block + done_, capacity - done_);
            done_ = capacity;
        }
        return;
    }
    target_ = std::max(capacity, std::min(HeapRoom(block), capacity + kAhead));
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            if (done_ < capacity) {
                HeapPrefault(block + done_, capacity - done_);
                done_ = capacity;
            }
            return;
        }
    }
    changed_.notify_one();
}

void BackgroundFaulter::Run() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        changed_.wait(hold, [this] { return stop_ || done_ < target_; });
        if (stop_) {
            return;
        }
        // The block cannot move while busy_ is set (see Resize), so the lock can go.
        char* const block = block_;
        const std::size_t from = done_;
        const std::size_t turn = std::min(target_ - done_, kTurn);
        busy_ = true;
        hold.unlock();
        HeapPrefault(block + from, turn);
        hold.lock();
        busy_ = false;
        done_ = std::max(done_, from + turn);
        idle_.notify_all();
    }
}

}  // namespace inet
