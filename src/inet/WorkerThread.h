// The worker thread behind a QuarInetThread handle: the thread leaves its exit code in a state
// that the handle shares. Closing the handle never stops the thread and never waits for a body
// still running; after the body has ended it waits for the thread's own exit.
#pragma once

#include <cstdint>

#include <functional>

#include "QuarInet.h"

namespace inet {

// Starts `body` on a new thread; its result becomes the thread's exit code. Null when no thread
// could be started. `id` receives a number identifying the thread.
QuarInetThread StartWorkerThread(std::function<uint32_t()> body, uint32_t& id);

}  // namespace inet
