// The worker thread behind a QuarInetThread handle: the thread runs detached and leaves its exit
// code in a state that the handle shares, so closing the handle never stops or waits for it.
#pragma once

#include <stdint.h>

#include <functional>

#include "QuarInet.h"

namespace inet {

// Starts `body` on a new thread; its result becomes the thread's exit code. Null when no thread
// could be started. `id` receives a number identifying the thread.
QuarInetThread StartWorkerThread(std::function<uint32_t()> body, uint32_t& id);

}  // namespace inet
