// The inside of a browser-settings request that its public class keeps opaque: the lock that
// Abort shares with the worker, the entry table the request calls, and an observer of the body
// buffer's growth. Tests reach the last two through State().
#pragma once

#include <cstdint>

#include <functional>
#include <mutex>

#include "QuarInet.h"
#include "inet/WinInetTable.h"

// Abort runs on another thread than Send and Receive: the handles change only under the lock,
// and a handle opened after an Abort is closed at once instead of being kept.
struct QuarInetWinInetState {
    std::mutex lock;
    bool aborting = false;
    // The process's table unless a test set another before Send.
    const QuarInetWinInetTable* table = nullptr;
    // Called with the whole body's capacity each time it grows.
    std::function<void(uint32_t)> capacityChanged;

    static QuarInetWinInetState& Of(QuarInetHttpRequestWinInetImpl& request) {
        return *request.state_;
    }
};
