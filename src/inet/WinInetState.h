// The inside of a browser-settings request that its public class keeps opaque: the lock that
// Abort shares with the worker, and the entry table the request calls (tests set their own
// through Of()).
#pragma once

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

    static QuarInetWinInetState& Of(QuarInetHttpRequestWinInetImpl& request) {
        return *request.state_;
    }
};
