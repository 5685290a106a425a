// Milliseconds since an arbitrary start, wrapping at 2^32, as the platform's tick count; read
// from the monotonic clock so that it never runs backwards.
#pragma once

#include <cstdint>

namespace inet {

uint32_t GetTickCount();

}  // namespace inet
