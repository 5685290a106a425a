// The gzip writer: one gzip member (RFC 1952) over a memory stream, on zlib's raw deflate.
#pragma once

#include <cstddef>
#include <cstdint>

#include "inet/MemoryStream.h"

namespace inet {

// Writes the gzip member of the `size` bytes at `data` to `out`: the fixed 10-byte header (no
// name, time 0, operating system 11), the deflate data at zlib's default level, the CRC-32 and
// the input length. Returns false when zlib or memory fails; `out` then holds a partial member.
bool GzipCompress(const void* data, size_t size, MemoryOutStream& out);

}  // namespace inet
