// The fast path of the gzip reader: a body that is one whole gzip member, decoded in one call by
// libdeflate (about twice zlib's rate here, since the whole body is in memory anyway).
#pragma once

#include <cstddef>
#include <cstdint>

#include "inet/GzipReader.h"

namespace inet {

// Decodes `bytes` when they hold one complete, intact gzip member, optionally followed by bytes
// that do not begin another member, whose decoded size (from its trailer) is within `limit`.
// On success `result` is kDecoded with the same bytes zlib would give. False when it cannot
// say: another member follows, the trailer's size is wrong, too large, or more than deflate can
// give from `size` bytes (nothing is allocated then), the data is damaged, memory ran out. The
// caller then decodes with zlib, which knows what to keep of damaged data.
bool DecodeWholeMember(const uint8_t* bytes, size_t size, size_t limit, GunzipResult& result);

}  // namespace inet
