// ParseMimeMultipart on any content type and body, and the build-then-parse round trip on any
// part contents.
//
// Input: a selector byte, then the content-type value up to the first LF, then the body. The
// same bytes after the selector, cut at each 0xFF, are the contents of the round trip.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "QuarInet.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "invariant broken: %s\n", what);
        abort();
    }
}

void ParseAnything(const uint8_t* data, size_t size) {
    const uint8_t* newline = static_cast<const uint8_t*>(memchr(data, '\n', size));
    const size_t typeLength = newline != nullptr ? static_cast<size_t>(newline - data) : size;
    // The content type as text: it ends at its first NUL, as a header block would.
    const std::string contentType(reinterpret_cast<const char*>(data), typeLength);
    const std::string headers =
        "HTTP/1.0 200 OK\r\nContent-Type: " + std::string(contentType.c_str()) + "\r\n\r\n";
    const size_t bodyStart = newline != nullptr ? typeLength + 1 : size;
    // The body in a block of exactly its size, so that reading past it shows.
    const size_t bodyLength = size - bodyStart;
    std::vector<char> body(data + bodyStart, data + size);
    const char* bytes = body.data();

    mime_part* parts = nullptr;
    const uint32_t count =
        ParseMimeMultipart(headers.c_str(), bytes, static_cast<uint32_t>(bodyLength), parts);
    for (uint32_t i = 0; i < count; ++i) {
        Check(parts[i].headers >= bytes && parts[i].data >= bytes, "part starts in the body");
        Check(parts[i].headers + parts[i].headers_length <= bytes + bodyLength,
              "part headers end in the body");
        Check(parts[i].data + parts[i].data_length <= bytes + bodyLength,
              "part data ends in the body");
        Check(parts[i].headers + parts[i].headers_length <= parts[i].data,
              "headers come before the data");
    }
    Check(count == 0 || IsMimeMultipart(headers.c_str()), "parts only from multipart bodies");
    QuarInetFree(parts);
}

void RoundTrip(const uint8_t* data, size_t size) {
    std::vector<std::string> contents(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF) {
            contents.emplace_back();
        } else {
            contents.back() += static_cast<char>(data[i]);
        }
    }
    std::vector<std::string> headerTexts;
    std::vector<mime_part> in;
    for (size_t i = 0; i < contents.size(); ++i) {
        headerTexts.push_back("X-Part: " + std::to_string(i) + "\r\n");
    }
    for (size_t i = 0; i < contents.size(); ++i) {
        in.push_back({headerTexts[i].c_str(), 0, contents[i].data(),
                      static_cast<uint32_t>(contents[i].size())});
    }
    char* headers = nullptr;
    char* body = nullptr;
    uint32_t length = 0;
    Check(ConstructMimeMultipart(headers, body, length, "Host: h\r\n", in.data(),
                                 static_cast<uint32_t>(in.size())),
          "building succeeds");
    mime_part* out = nullptr;
    const uint32_t count = ParseMimeMultipart(headers, body, length, out);
    Check(count == in.size(), "every built part parses back");
    for (uint32_t i = 0; i < count; ++i) {
        Check(std::string(out[i].data, out[i].data_length) == contents[i], "content survives");
        Check(std::string(out[i].headers, out[i].headers_length) + "\r\n" == headerTexts[i],
              "headers survive");
    }
    QuarInetFree(out);
    QuarInetFree(headers);
    QuarInetFree(body);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    if (data[0] & 1) {
        RoundTrip(data + 1, size - 1);
    } else {
        ParseAnything(data + 1, size - 1);
    }
    return 0;
}
