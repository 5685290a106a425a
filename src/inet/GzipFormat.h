// What the gzip reader and writer agree on about the format: its magic, its one compression
// method, and the raw deflate stream inside the member.
#pragma once

#include <cstdint>

namespace inet {

constexpr uint8_t kGzipMagic0 = 0x1F;
constexpr uint8_t kGzipMagic1 = 0x8B;
constexpr uint8_t kGzipMethodDeflate = 8;

// Raw deflate (no zlib header) with a 32 KiB window, as zlib's window-bits argument.
constexpr int kRawWindowBits = -15;

}  // namespace inet
