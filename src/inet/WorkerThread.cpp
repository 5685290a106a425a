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
    // Joined when the handle is closed after the body ended, so that the thread's own exit work
    // (the destructors of its thread-local data, in libraries such as TLS) is over before the
    // client goes on, and may unload those libraries or end the process; detached otherwise.
    std::thread thread;
};

namespace inet {

QuarInetThread StartWorkerThread(std::function<uint32_t()> body, uint32_t& id) {
    auto handle = std::make_unique<QuarInetThreadTag>();
    std::shared_ptr<QuarInetThreadTag::State> state = handle->state;
    try {
        handle->thread = std::thread([state, body = std::move(body)] {
            const uint32_t code = body();
            std::lock_guard<std::mutex> hold(state->lock);
            state->exitCode = code;
            state->done = true;
            state->ended.notify_all();
        });
        id = static_cast<uint32_t>(std::hash<std::thread::id>()(handle->thread.get_id()));
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
    if (thread == nullptr) {
        return false;
    }
    bool ended;
    {
        std::lock_guard<std::mutex> hold(thread->state->lock);
        ended = thread->state->done;
    }
    // A body that has ended leaves only the thread's exit to wait for; a running one (or a
    // handle closed by the worker itself) is never waited for.
    if (ended && thread->thread.get_id() != std::this_thread::get_id()) {
        thread->thread.join();
    } else {
        thread->thread.detach();
    }
    delete thread;
    return true;
}
