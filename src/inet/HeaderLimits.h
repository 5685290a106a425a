// Rooms for the header lines that both transports read and write.
#pragma once

#include <cstddef>

namespace inet {

// Room for the status line's parts, as far as a transport reads it.
constexpr int kStatusLineLimit = 1024;

// Room for the longest "Content-Length: <32-bit number>\r\n\r\n" line and its NUL.
constexpr size_t kLengthLineRoom = 40;

}  // namespace inet
