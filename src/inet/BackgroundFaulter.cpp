#include "inet/BackgroundFaulter.h"

#include <algorithm>
#include <system_error>

#include "inet/InetHeap.h"

namespace inet {
namespace {

// The pages faulted in per turn: small enough that a growth waits little for the lock.
constexpr size_t kTurn = 256 * 1024;

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

void BackgroundFaulter::Grown(char* block, size_t from, size_t capacity) {
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
        const size_t turn = std::min(target_ - done_, kTurn);
        HeapPrefault(block_ + done_, turn);
        done_ += turn;
        // Let a waiting growth in between turns.
        hold.unlock();
        hold.lock();
    }
}

}  // namespace inet
