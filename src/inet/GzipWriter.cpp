#include "inet/GzipWriter.h"

#include <zlib.h>

#include "inet/GzipFormat.h"

namespace inet {
namespace {

// The magic and deflate; then flags, modification time and extra flags all zero, and 0B, the
// operating system code of the platform the format was written on.
constexpr uint8_t kGzipHeader[10] = {
    kGzipMagic0, kGzipMagic1, kGzipMethodDeflate, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0B};

// Deflate output goes to the stream in blocks of this size.
constexpr size_t kOutputBlock = 4096;

constexpr int kMemoryLevel = 8;

bool PutLittleEndian32(MemoryOutStream& out, uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return out.Write(bytes, sizeof bytes);
}

class Deflater {
  public:
    Deflater() {
        ok_ = deflateInit2(&stream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kRawWindowBits,
                           kMemoryLevel, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Deflater() {
        if (ok_) {
            deflateEnd(&stream_);
        }
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    bool Ok() const { return ok_; }
    z_stream& Stream() { return stream_; }

  private:
    z_stream stream_{};
    bool ok_;
};

}  // namespace

bool GzipCompress(const void* data, size_t size, MemoryOutStream& out) {
    Deflater deflater;
    if (!deflater.Ok() || !out.Write(kGzipHeader, sizeof kGzipHeader)) {
        return false;
    }
    z_stream& stream = deflater.Stream();
    const Bytef* input = static_cast<const Bytef*>(data);
    size_t left = size;
    uLong crc = crc32(0L, Z_NULL, 0);
    Bytef block[kOutputBlock];
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        if (stream.avail_in == 0 && left > 0) {
            uInt piece = left > UINT32_MAX ? UINT32_MAX : static_cast<uInt>(left);
            stream.next_in = const_cast<Bytef*>(input);
            stream.avail_in = piece;
            crc = crc32(crc, input, piece);
            input += piece;
            left -= piece;
        }
        stream.next_out = block;
        stream.avail_out = kOutputBlock;
        status = deflate(&stream, left == 0 ? Z_FINISH : Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
            return false;
        }
        if (!out.Write(block, kOutputBlock - stream.avail_out)) {
            return false;
        }
    }
    return PutLittleEndian32(out, static_cast<uint32_t>(crc)) &&
           PutLittleEndian32(out, static_cast<uint32_t>(size));
}

}  // namespace inet
