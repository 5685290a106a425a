#include "inet/BackgroundFaulter.h"

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

bool BackgroundFaulter::Update(char* block, size_t size) {
    block_ = block;
    size_ = size;
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            return false;
        }
    }
    changed_.notify_one();
    return true;
}

void BackgroundFaulter::Run() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        changed_.wait(hold, [this] { return stop_ || done_ < size_; });
        if (stop_) {
            return;
        }
        const size_t turn = size_ - done_ < kTurn ? size_ - done_ : kTurn;
        HeapPrefault(block_ + done_, turn);
        done_ += turn;
        // Let a waiting growth in between turns.
        hold.unlock();
        hold.lock();
    }
}

}  // namespace inet
