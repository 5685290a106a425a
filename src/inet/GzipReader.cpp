#include "inet/GzipReader.h"

#include <zlib.h>

#include "inet/GrowBlock.h"
#include "inet/GzipFormat.h"
#include "inet/GzipWholeMember.h"
#include "inet/MemoryStream.h"

namespace inet {
namespace {

// Header flag bits.
constexpr uint8_t kFlagHeaderCrc = 0x02;
constexpr uint8_t kFlagExtra = 0x04;
constexpr uint8_t kFlagName = 0x08;
constexpr uint8_t kFlagComment = 0x10;
constexpr uint8_t kFlagsReserved = 0xE0;

// Deflate cannot expand data by more than 1032 to 1; a trailer that claims more is not believed.
constexpr uint64_t kMaxInflateRatio = 1032;
// First capacity when the trailer gives no usable size, as a multiple of the input.
constexpr size_t kGuessRatio = 4;
constexpr size_t kMinCapacity = 64 * 1024;
// Output is checked against the CRC-32 in slices of this size, while they are still in cache.
constexpr size_t kSlice = 256 * 1024;

uint32_t LittleEndian32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool SkipZeroTerminated(MemoryInStream& in) {
    for (int c = in.Get(); c != 0; c = in.Get()) {
        if (c < 0) {
            return false;
        }
    }
    return true;
}

// Reads a member header up to the deflate data; false when it is not a readable gzip header.
bool ReadHeader(MemoryInStream& in) {
    uint8_t fixed[10];
    if (in.Read(fixed, sizeof fixed) != sizeof fixed || fixed[0] != kGzipMagic0 ||
        fixed[1] != kGzipMagic1 || fixed[2] != kGzipMethodDeflate ||
        (fixed[3] & kFlagsReserved) != 0) {
        return false;
    }
    const uint8_t flags = fixed[3];
    if (flags & kFlagExtra) {
        uint8_t length[2];
        if (in.Read(length, 2) != 2 || !in.Skip(length[0] | length[1] << 8)) {
            return false;
        }
    }
    if ((flags & kFlagName) && !SkipZeroTerminated(in)) {
        return false;
    }
    if ((flags & kFlagComment) && !SkipZeroTerminated(in)) {
        return false;
    }
    if ((flags & kFlagHeaderCrc) && !in.Skip(2)) {
        return false;
    }
    return true;
}

// The decoded bytes, grown in the library's heap up to one byte past the limit, which is how
// output beyond the limit shows.
class Output {
  public:
    explicit Output(size_t limit) : block_(kGunzipGrowth, limit + 2), limit_(limit) {}

    // Room for `capacity` bytes in one step.
    bool Reserve(size_t capacity) { return block_.Prepare(capacity - block_.Count()); }
    // Makes room for more output.
    GunzipStatus Grow() {
        if (block_.Count() > limit_) {
            return GunzipStatus::kTooLarge;
        }
        return block_.Prepare(1) ? GunzipStatus::kDecoded : GunzipStatus::kNoMemory;
    }

    uint8_t* End() { return reinterpret_cast<uint8_t*>(block_.Room()); }
    size_t Room() const { return block_.RoomSize(); }
    size_t Size() const { return block_.Count(); }
    void Advance(size_t count) { block_.Commit(count); }

    // Ends the data with its NUL and gives back unused room.
    HeapPtr<char> Finish() { return block_.Release(); }

  private:
    GrowBlock block_;
    size_t limit_;
};

// The first capacity: the length in the last trailer when deflate could have produced it,
// otherwise a multiple of the input.
size_t FirstCapacity(const uint8_t* bytes, size_t size, size_t limit) {
    if (size >= 18) {
        uint64_t claimed = LittleEndian32(bytes + size - 4);
        if (claimed > 0 && claimed <= limit && claimed <= size * kMaxInflateRatio) {
            return static_cast<size_t>(claimed);
        }
    }
    size_t guess = size > limit / kGuessRatio ? limit : size * kGuessRatio;
    if (guess < kMinCapacity) {
        guess = kMinCapacity;
    }
    return guess <= limit ? guess : limit + 1;
}

class Inflater {
  public:
    Inflater() { ok_ = inflateInit2(&stream_, kRawWindowBits) == Z_OK; }
    ~Inflater() {
        if (ok_) {
            inflateEnd(&stream_);
        }
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    bool Ok() const { return ok_; }
    z_stream& Stream() { return stream_; }

  private:
    z_stream stream_{};
    bool ok_;
};

// Inflates one member's deflate data from `in` into `out` and checks its trailer. Leaves `in`
// after the trailer on success.
GunzipStatus InflateMember(Inflater& inflater, MemoryInStream& in, Output& out) {
    z_stream& stream = inflater.Stream();
    inflateReset(&stream);
    stream.avail_in = 0;
    const size_t start = out.Size();
    uLong crc = crc32(0L, Z_NULL, 0);
    size_t consumed = 0;
    int result = Z_OK;
    while (result != Z_STREAM_END) {
        if (stream.avail_in == 0) {
            const size_t left = in.Remaining() - consumed;
            stream.next_in = const_cast<Bytef*>(in.Current() + consumed);
            stream.avail_in = left > UINT32_MAX ? UINT32_MAX : static_cast<uInt>(left);
        }
        if (out.Room() == 0) {
            GunzipStatus grown = out.Grow();
            if (grown != GunzipStatus::kDecoded) {
                return grown;
            }
        }
        const size_t slice = out.Room() < kSlice ? out.Room() : kSlice;
        stream.next_out = out.End();
        stream.avail_out = static_cast<uInt>(slice);
        const uInt availIn = stream.avail_in;
        result = inflate(&stream, Z_NO_FLUSH);
        consumed += availIn - stream.avail_in;
        const size_t produced = slice - stream.avail_out;
        crc = crc32(crc, out.End(), static_cast<uInt>(produced));
        out.Advance(produced);
        if (result == Z_MEM_ERROR) {
            return GunzipStatus::kNoMemory;
        }
        if (result == Z_BUF_ERROR) {
            // No progress: either the input ended inside the deflate data, or it cannot go on.
            if (stream.avail_out > 0) {
                return GunzipStatus::kDamaged;
            }
        } else if (result != Z_OK && result != Z_STREAM_END) {
            return GunzipStatus::kDamaged;
        }
    }
    in.Skip(consumed);
    uint8_t trailer[8];
    if (in.Read(trailer, sizeof trailer) != sizeof trailer ||
        LittleEndian32(trailer) != static_cast<uint32_t>(crc) ||
        LittleEndian32(trailer + 4) != static_cast<uint32_t>(out.Size() - start)) {
        return GunzipStatus::kDamaged;
    }
    return GunzipStatus::kDecoded;
}

}  // namespace

GunzipResult GzipDecompress(const uint8_t* bytes, size_t size, size_t limit) {
    GunzipResult result;
    if (size < 2 || bytes[0] != kGzipMagic0 || bytes[1] != kGzipMagic1) {
        result.status = GunzipStatus::kNotGzip;
        return result;
    }
    MemoryInStream in(bytes, size);
    if (!ReadHeader(in)) {
        result.status = GunzipStatus::kBadHeader;
        return result;
    }
    if (DecodeWholeMember(bytes, size, limit, result)) {
        return result;
    }
    Inflater inflater;
    Output out(limit);
    if (!inflater.Ok() || !out.Reserve(FirstCapacity(bytes, size, limit))) {
        result.status = GunzipStatus::kNoMemory;
        return result;
    }
    GunzipStatus status;
    for (;;) {
        status = InflateMember(inflater, in, out);
        if (status != GunzipStatus::kDecoded) {
            break;
        }
        // Another member may follow; anything else after a member ends the data.
        if (in.Remaining() < 2 || in.Current()[0] != kGzipMagic0 ||
            in.Current()[1] != kGzipMagic1) {
            break;
        }
        if (!ReadHeader(in)) {
            status = GunzipStatus::kDamaged;
            break;
        }
    }
    if (out.Size() > limit) {
        status = GunzipStatus::kTooLarge;
    }
    result.status = status;
    if (status == GunzipStatus::kDecoded || status == GunzipStatus::kDamaged) {
        result.size = out.Size();
        result.data = out.Finish();
    }
    return result;
}

}  // namespace inet
