#include "inet/WorkerThread.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

// The handle the client holds; the thread holds the same state until it ends.
struct QuarInetThreadTag {
    struct State {
        std::mutex lock;
        std::condition_variable ended;
        bool done = false;
        uint32_t exitCode = QUARINET_STILL_ACTIVE;
    };
    std::shared_ptr<State> state = std::make_shared<State>();
};

namespace inet {

QuarInetThread StartWorkerThread(std::function<uint32_t()> body, uint32_t& id) {
    auto handle = std::make_unique<QuarInetThreadTag>();
    std::shared_ptr<QuarInetThreadTag::State> state = handle->state;
    try {
        std::thread thread([state, body = std::move(body)] {
            const uint32_t code = body();
            std::lock_guard<std::mutex> hold(state->lock);
            state->exitCode = code;
            state->done = true;
            state->ended.notify_all();
        });
        id = static_cast<uint32_t>(std::hash<std::thread::id>()(thread.get_id()));
        thread.detach();
    } catch (const std::system_error&) {
        return nullptr;
    }
    return handle.release();
}

}  // namespace inet

uint32_t QuarInetWaitForThread(QuarInetThread thread, uint32_t milliseconds) {
    if (thread == nullptr) {
        return QUARINET_WAIT_FAILED;
    }
    auto& state = *thread->state;
    std::unique_lock<std::mutex> hold(state.lock);
    if (milliseconds == QUARINET_INFINITE) {
        state.ended.wait(hold, [&] { return state.done; });
        return QUARINET_WAIT_OBJECT_0;
    }
    return state.ended.wait_for(hold, std::chrono::milliseconds(milliseconds),
                                [&] { return state.done; })
               ? QUARINET_WAIT_OBJECT_0
               : QUARINET_WAIT_TIMEOUT;
}

bool QuarInetGetThreadExitCode(QuarInetThread thread, uint32_t& code) {
    if (thread == nullptr) {
        return false;
    }
    std::lock_guard<std::mutex> hold(thread->state->lock);
    code = thread->state->exitCode;
    return true;
}

bool QuarInetCloseThread(QuarInetThread thread) {
    delete thread;
    return thread != nullptr;
}
