#include "inet/GzipStream.h"

#include <zlib.h>

#include <new>

#include "QuarInet.h"
#include "inet/GzipFormat.h"

namespace inet {

namespace {

// Decoded bytes handed on per call of the output at most.
constexpr size_t kOutRoom = 256u << 10;
// zlib's window bits for a gzip wrapper (header and trailer checked by zlib).
constexpr int kGzipWindowBits = 16 + MAX_WBITS;

}  // namespace

struct GzipStream::Zlib {
    z_stream stream{};
    gz_header header{};  // the first member's, to tell a bad header from damage after it
    bool ready = false;
};

GzipStream::GzipStream(Output output, void* context)
    : zlib_(new Zlib), output_(output), context_(context) {}

GzipStream::~GzipStream() {
    if (zlib_->ready) {
        inflateEnd(&zlib_->stream);
    }
}

uint32_t GzipStream::Feed(const char* bytes, size_t size) {
    while (size > 0) {
        switch (state_) {
            case State::kDone:
                return 0;
            case State::kPass:
                return output_(context_, bytes, size);
            case State::kInflate:
                return Inflate(bytes, size);
            case State::kSniff:
                break;
        }
        // Deciding on the two bytes of a gzip magic, which may come in two pieces.
        if (!holding_) {
            if (static_cast<uint8_t>(bytes[0]) != kGzipMagic0) {
                return Sniffed(bytes, size);
            }
            held_ = bytes[0];
            holding_ = true;
            ++bytes;
            --size;
            continue;
        }
        holding_ = false;
        if (static_cast<uint8_t>(bytes[0]) != kGzipMagic1) {
            return Sniffed(bytes, size);
        }
        if (!zlib_->ready) {
            if (inflateInit2(&zlib_->stream, kGzipWindowBits) != Z_OK) {
                return QUARINET_ERROR_NOT_ENOUGH_MEMORY;
            }
            inflateGetHeader(&zlib_->stream, &zlib_->header);
            zlib_->ready = true;
        } else {
            inflateReset(&zlib_->stream);
        }
        if (out_ == nullptr) {
            out_.reset(new (std::nothrow) char[kOutRoom]);
            if (out_ == nullptr) {
                return QUARINET_ERROR_NOT_ENOUGH_MEMORY;
            }
        }
        state_ = State::kInflate;
        const char magic0 = held_;
        if (const uint32_t rc = Inflate(&magic0, 1)) {
            return rc;
        }
    }
    return 0;
}

// Bytes after a sniff that found no gzip magic: the body's own bytes pass through; after a
// member they end the data.
uint32_t GzipStream::Sniffed(const char* bytes, size_t size) {
    if (!firstMember_) {
        state_ = State::kDone;
        return 0;
    }
    state_ = State::kPass;
    if (holding_ || held_ != 0) {
        const char first = held_;
        held_ = 0;
        if (const uint32_t rc = output_(context_, &first, 1)) {
            return rc;
        }
    }
    return size > 0 ? output_(context_, bytes, size) : 0;
}

uint32_t GzipStream::Inflate(const char* bytes, size_t size) {
    z_stream& z = zlib_->stream;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes));
    z.avail_in = static_cast<uInt>(size);
    // Output may wait inside zlib after the input is used up, as long as the room was filled.
    do {
        z.next_out = reinterpret_cast<Bytef*>(out_.get());
        z.avail_out = static_cast<uInt>(kOutRoom);
        const int rc = inflate(&z, Z_NO_FLUSH);
        const size_t produced = kOutRoom - z.avail_out;
        if (produced > 0) {
            if (const uint32_t stop = output_(context_, out_.get(), produced)) {
                return stop;
            }
        }
        if (rc == Z_MEM_ERROR) {
            return QUARINET_ERROR_NOT_ENOUGH_MEMORY;
        }
        if (rc == Z_STREAM_END) {
            // Another member may follow; anything else ends the data.
            firstMember_ = false;
            state_ = State::kSniff;
            held_ = 0;
            const char* rest = reinterpret_cast<const char*>(z.next_in);
            return Feed(rest, z.avail_in);
        }
        if (rc != Z_OK && !(rc == Z_BUF_ERROR && produced == 0 && z.avail_in == 0)) {
            damaged_ = true;
            state_ = State::kDone;
            return 0;
        }
    } while (z.avail_in > 0 || z.avail_out == 0);
    return 0;
}

bool GzipStream::HeaderRead() const {
    return zlib_->header.done == 1;
}

uint32_t GzipStream::Finish() {
    if (state_ == State::kInflate) {
        // The body ended inside a member.
        damaged_ = true;
    }
    if (state_ == State::kSniff && holding_ && firstMember_) {
        holding_ = false;
        const char first = held_;
        return output_(context_, &first, 1);
    }
    return 0;
}

}  // namespace inet
