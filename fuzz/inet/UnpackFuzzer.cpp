// UnpackContent on any body announced as gzip, and the gzip reader against its writer.
//
// Input: a selector byte, then the body. The selector picks the header block and whether the
// bytes go through UnpackContent or through a compress-then-decompress round trip.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "QuarInet.h"
#include "inet/GzipReader.h"
#include "inet/GzipWriter.h"
#include "inet/InetHeap.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "invariant broken: %s\n", what);
        abort();
    }
}

const char* const kHeaderBlocks[] = {
    "HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 99\r\n\r\n",
    "HTTP/1.0 200 OK\r\ncontent-encoding: x-gzip\r\n",
    "HTTP/1.0 200 OK\r\nContent-Length: 5\r\nContent-Encoding:   GZIP",
    "Content-Encoding: gzip\r\n\r\ntrailing text after the blank line",
    "\r\n",
};

void Unpack(uint8_t selector, const uint8_t* data, size_t size) {
    const char* text = kHeaderBlocks[selector % (sizeof kHeaderBlocks / sizeof *kHeaderBlocks)];
    uint32_t headersLength = static_cast<uint32_t>(strlen(text));
    char* headers = static_cast<char*>(inet::HeapAllocate(headersLength + 1));
    memcpy(headers, text, headersLength + 1);
    uint32_t bodyLength = static_cast<uint32_t>(size);
    char* body = static_cast<char*>(inet::HeapAllocate(size));
    if (size > 0) {
        memcpy(body, data, size);
    }
    const char* headersBefore = headers;
    Check(UnpackContent(headers, headersLength, body, bodyLength), "UnpackContent is true");
    Check(strlen(headers) == headersLength, "header length matches its text");
    if (headers != headersBefore) {
        char value[32];
        Check(QuarInetGetHeaderValue(headers, "Content-Length:", value, sizeof value) &&
                  strtoul(value, nullptr, 10) == bodyLength,
              "new Content-Length gives the body length");
        Check(strcmp(headers + headersLength - 4, "\r\n\r\n") == 0, "block stays closed");
    }
    QuarInetFree(headers);
    QuarInetFree(body);
}

void RoundTrip(const uint8_t* data, size_t size) {
    inet::MemoryOutStream out;
    Check(inet::GzipCompress(data, size, out), "compressing succeeds");
    inet::GunzipResult back = inet::GzipDecompress(out.Data(), out.Size(), size);
    Check(back.status == inet::GunzipStatus::kDecoded, "own member decodes");
    Check(back.size == size && (size == 0 || memcmp(back.data.get(), data, size) == 0),
          "bytes survive");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    if (data[0] == 0xFF) {
        RoundTrip(data + 1, size - 1);
    } else {
        Unpack(data[0], data + 1, size - 1);
    }
    return 0;
}
