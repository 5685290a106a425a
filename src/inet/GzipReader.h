// The gzip reader: decodes gzip members (RFC 1952) held whole in memory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "inet/InetHeap.h"

namespace inet {

enum class GunzipStatus {
    kNotGzip,    // the bytes do not begin with the gzip magic; nothing was decoded
    kDecoded,    // every member was decoded and matched its CRC-32 and length
    kDamaged,    // decoding stopped at damage after the first header; the output holds the
                 // bytes decoded before it
    kBadHeader,  // the first member's header cannot be read; nothing was decoded
    kTooLarge,   // the output would exceed the caller's limit
    kNoMemory,   // memory ran out
};

struct GunzipResult {
    GunzipStatus status = GunzipStatus::kNotGzip;
    // For kDecoded and kDamaged: the decoded bytes followed by a NUL, in the library's heap.
    HeapPtr<char> data;
    size_t size = 0;
};

// Decodes the gzip members at `bytes` (concatenated members are read one after another; other
// bytes after a member end the data). The output is never longer than `limit` bytes.
GunzipResult GzipDecompress(const uint8_t* bytes, size_t size, size_t limit);

}  // namespace inet
