#include "inet/GzipReader.h"

#include "QuarInet.h"
#include "inet/GrowBlock.h"
#include "inet/GzipFormat.h"
#include "inet/GzipStream.h"
#include "inet/GzipWholeMember.h"

namespace inet {
namespace {

// The decoded bytes in the library's heap, never more than the caller's limit.
struct Collected {
    explicit Collected(size_t limit) : limit(limit) {}
    GrowBlock block{kDoublingGrowth};
    size_t limit;
    bool tooLarge = false;
};

uint32_t Collect(void* context, const char* bytes, size_t size) {
    Collected& out = *static_cast<Collected*>(context);
    if (size > out.limit - out.block.Count()) {
        out.tooLarge = true;
        return QUARINET_ERROR_NOT_ENOUGH_MEMORY;
    }
    return out.block.Append(bytes, size) ? 0u
                                         : static_cast<uint32_t>(QUARINET_ERROR_NOT_ENOUGH_MEMORY);
}

}  // namespace

GunzipResult GzipDecompress(const uint8_t* bytes, size_t size, size_t limit) {
    GunzipResult result;
    if (size < 2 || bytes[0] != kGzipMagic0 || bytes[1] != kGzipMagic1) {
        result.status = GunzipStatus::kNotGzip;
        return result;
    }
    // One member whose trailer gives its length: decoded in one call into memory of that size.
    if (DecodeWholeMember(bytes, size, limit, result)) {
        return result;
    }
    // Otherwise member by member as a stream, the output growing with what is decoded.
    Collected out(limit);
    GzipStream stream(&Collect, &out);
    const bool stopped =
        stream.Feed(reinterpret_cast<const char*>(bytes), size) != 0 || stream.Finish() != 0;
    if (out.tooLarge) {
        result.status = GunzipStatus::kTooLarge;
    } else if (stopped) {
        result.status = GunzipStatus::kNoMemory;
    } else if (!stream.HeaderRead()) {
        result.status = GunzipStatus::kBadHeader;
    } else {
        result.status = stream.Damaged() ? GunzipStatus::kDamaged : GunzipStatus::kDecoded;
        if (!out.block.Prepare(0)) {
            result.status = GunzipStatus::kNoMemory;
            return result;
        }
        out.block.Commit(0);
        result.size = out.block.Count();
        result.data = out.block.Release();
    }
    return result;
}

}  // namespace inet
