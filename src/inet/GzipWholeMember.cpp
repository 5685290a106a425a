#include "inet/GzipWholeMember.h"

#include <libdeflate.h>
#include <cstring>

#include <memory>
#include <mutex>

namespace inet {
namespace {

struct DecompressorFree {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// A gzip member is at least a 10-byte header, an empty deflate block and an 8-byte trailer.
constexpr size_t kSmallestMember = 20;
// Deflate cannot expand data by more than 1032 to 1: a trailer that claims more is not believed,
// and nothing is allocated for it (the streaming reader then grows with what it decodes).
constexpr uint64_t kMaxInflateRatio = 1032;

}  // namespace

bool DecodeWholeMember(const uint8_t* bytes, size_t size, size_t limit, GunzipResult& result) {
    if (size < kSmallestMember) {
        return false;
    }
    // The trailer's size counts modulo 2^32; a larger output shows as insufficient space.
    uint32_t expected;
    std::memcpy(&expected, bytes + size - 4, sizeof expected);
    if (expected > limit || expected > uint64_t{size} * kMaxInflateRatio) {
        return false;
    }
    std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(
        libdeflate_alloc_decompressor());
    HeapPtr<char> out(static_cast<char*>(HeapAllocate(static_cast<size_t>(expected) + 1)));
    if (decompressor == nullptr || out == nullptr) {
        return false;
    }
    size_t consumed = 0;
    size_t produced = 0;
    const libdeflate_result rc = libdeflate_gzip_decompress_ex(
        decompressor.get(), bytes, size, out.get(), expected, &consumed, &produced);
    if (rc != LIBDEFLATE_SUCCESS || produced != expected) {
        return false;
    }
    // Another member after this one is read by the member-by-member path.
    if (size - consumed >= 2 && bytes[consumed] == 0x1f && bytes[consumed + 1] == 0x8b) {
        return false;
    }
    out.get()[produced] = '\0';
    result.status = GunzipStatus::kDecoded;
    result.data = std::move(out);
    result.size = produced;
    return true;
}

}  // namespace inet
