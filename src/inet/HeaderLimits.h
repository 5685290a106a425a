// Rooms for the header lines that both transports read and write.
#pragma once

#include <cstddef>

namespace inet {

// Room for the status line's parts, as far as a transport reads it.
constexpr int kStatusLineLimit = 1024;

// The longest header block a response may have: a server that sends header lines without end
// is cut off here rather than filling the client's memory.
constexpr size_t kMaxHeaderBlock = 1u << 20;

// Room for the longest "Content-Length: <32-bit number>\r\n\r\n" line and its NUL.
constexpr size_t kLengthLineRoom = 40;

}  // namespace inet
