#include <cstdio>
#include <cstring>

#include "QuarInet.h"
#include "inet/GzipReader.h"
#include "inet/HeaderLimits.h"
#include "inet/HeaderSearch.h"
#include "inet/InetHeap.h"

namespace {

// A gzip body may decode to at most this many bytes; beyond it the response is left encoded, so
// that a small body cannot make the client hold an unbounded amount of memory.
constexpr size_t kMaxUnpackedLength = 512u * 1024 * 1024;

bool IsGzipEncoded(const char* headers) {
    char encoding[64];
    if (!QuarInetGetHeaderValue(headers, "Content-Encoding:", encoding, sizeof encoding)) {
        return false;
    }
    return inet::StartsWithNoCase(encoding, "gzip") || inet::StartsWithNoCase(encoding, "x-gzip");
}

// The block without its encoding and length headers, closed by the decoded length; null when
// memory runs out.
char* RewriteHeaders(const char* headers, uint32_t& length, uint32_t decodedLength) {
    const size_t textLength = std::strlen(headers);
    char* block = static_cast<char*>(inet::HeapAllocate(textLength + inet::kLengthLineRoom));
    if (block == nullptr) {
        return nullptr;
    }
    std::memcpy(block, headers, textLength + 1);
    uint32_t blockLength = static_cast<uint32_t>(textLength);
    // Every line about the encoded bytes goes, a repeated one too: none may describe the
    // decoded body.
    while (QuarInetRemoveHeader(block, blockLength, "Content-Encoding:") != nullptr) {
    }
    while (QuarInetRemoveHeader(block, blockLength, "Content-Length:") != nullptr) {
    }
    char line[inet::kLengthLineRoom];
    std::snprintf(line, sizeof line, "Content-Length: %u\r\n\r\n", decodedLength);
    QuarInetAppendHeader(block, blockLength, line);
    length = blockLength;
    return block;
}

bool Unpack(char*& headers, uint32_t& headersLength, char*& body, uint32_t& bodyLength,
            bool keepDamaged, bool& stopped);

}  // namespace

bool UnpackContent(char*& headers, uint32_t& headersLength, char*& body, uint32_t& bodyLength) {
    bool stopped = false;
    return Unpack(headers, headersLength, body, bodyLength, false, stopped);
}

bool UnpackContent(char*& headers, uint32_t& headersLength, char*& body, uint32_t& bodyLength,
                   bool& stopped) {
    return Unpack(headers, headersLength, body, bodyLength, true, stopped);
}

namespace {

bool Unpack(char*& headers, uint32_t& headersLength, char*& body, uint32_t& bodyLength,
            bool keepDamaged, bool& stopped) {
    stopped = false;
    if (headers == nullptr || !IsGzipEncoded(headers)) {
        return true;
    }
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(body);
    const uint32_t inputLength = body != nullptr ? bodyLength : 0;
    inet::GunzipResult decoded = inet::GzipDecompress(bytes, inputLength, kMaxUnpackedLength);
    if (decoded.status == inet::GunzipStatus::kDamaged ||
        decoded.status == inet::GunzipStatus::kBadHeader) {
        stopped = true;
        if (keepDamaged) {
            return true;
        }
    }
    const bool passThrough = decoded.status == inet::GunzipStatus::kNotGzip;
    if (!passThrough && decoded.status != inet::GunzipStatus::kDecoded &&
        decoded.status != inet::GunzipStatus::kDamaged) {
        return true;
    }
    const uint32_t newLength = passThrough ? inputLength : static_cast<uint32_t>(decoded.size);
    uint32_t newHeadersLength = 0;
    char* newHeaders = RewriteHeaders(headers, newHeadersLength, newLength);
    if (newHeaders == nullptr) {
        return true;
    }
    inet::HeapRelease(headers);
    headers = newHeaders;
    headersLength = newHeadersLength;
    if (!passThrough) {
        inet::HeapRelease(body);
        body = decoded.data.release();
        bodyLength = newLength;
    }
    return true;
}

}  // namespace
