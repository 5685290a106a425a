// What the two transports' fuzz targets check of every exchange, whatever its result: what is
// delivered is as long as its length says and NUL-terminated; a 0 result carries a parseable
// status line, its whole header block as text and, for a 200, a body as long as a
// Content-Length says.
#pragma once

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "QuarInet.h"

inline void Check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "invariant broken: %s\n", what);
        abort();
    }
}

// The Content-Length a header block gives, or -1.
inline long long ContentLength(const char* headers) {
    char value[64];
    if (!QuarInetGetHeaderValue(headers, "Content-Length:", value, sizeof value)) {
        return -1;
    }
    char* end = nullptr;
    const long long n = strtoll(value, &end, 10);
    return end != value ? n : -1;
}

inline void CheckDelivered(uint32_t rc, const char* verb, const char* headers,
                           uint32_t headersLength, const char* body, uint32_t bodyLength) {
    if (headers != nullptr) {
        // A NUL the server sent may end the text early; the block is still as long as it says.
        Check(headers[headersLength] == '\0', "header block ends with a NUL at its length");
    }
    if (body != nullptr) {
        Check(body[bodyLength] == '\0', "body ends with a NUL");
        // Touches every byte, so that a length beyond the block shows.
        volatile unsigned sum = 0;
        for (uint32_t i = 0; i < bodyLength; ++i) {
            sum = sum + static_cast<unsigned char>(body[i]);
        }
    }
    if (rc == 0) {
        Check(headers != nullptr, "success delivers headers");
        Check(strlen(headers) == headersLength, "success delivers the whole header text");
        char version[1024], reason[1024];  // the socket transport's own limit
        uint32_t status = 0;
        Check(QuarInetGetHttpStatusCode(headers, version, status, reason, sizeof reason),
              "success has a status line");
        const long long announced = ContentLength(headers);
        Check(strcmp(verb, "HEAD") == 0 || status != 200 || announced < 0 ||
                  static_cast<long long>(bodyLength) >= announced,
              "success delivers the whole announced body");
    }
}
