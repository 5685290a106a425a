// The header, status, URL and escaping functions on any text with small caller buffers: every
// output buffer is a heap block of exactly the size passed, so a write past it shows.
//
// Input: a size byte (below 128: 0 to 32 bytes, else 64 to 4096), a name byte (one of the names
// clients ask for, or from 0xF0 on the fourth field), then fields separated by NUL bytes: header
// block, URL, text to escape or unescape, header name. fuzz/inet/header_url.dict holds the
// words of headers and URLs.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
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

// A heap block of exactly `size` bytes (at least one, so that a null is never passed).
std::unique_ptr<char[]> Buffer(int size) {
    std::unique_ptr<char[]> buffer(new char[size > 0 ? size : 1]);
    memset(buffer.get(), 'x', size > 0 ? size : 1);
    return buffer;
}

void Headers(const std::string& block, const std::string& name, int size) {
    auto version = Buffer(size), reason = Buffer(size), value = Buffer(size);
    uint32_t code = 0;
    if (QuarInetGetHttpStatusCode(block.c_str(), version.get(), code, reason.get(), size)) {
        Check(strlen(version.get()) < static_cast<size_t>(size), "version fits");
        Check(strlen(reason.get()) < static_cast<size_t>(size), "reason fits");
    }
    if (QuarInetGetHeaderValue(block.c_str(), name.c_str(), value.get(), size)) {
        Check(strlen(value.get()) < static_cast<size_t>(size), "value fits");
    }
    QuarInetGetLocation(block.c_str(), value.get(), size);

    // Remove then append, with room for the appended line.
    std::vector<char> room(block.size() + name.size() + 8);
    memcpy(room.data(), block.c_str(), block.size() + 1);
    uint32_t length = static_cast<uint32_t>(strlen(room.data()));
    QuarInetRemoveHeader(room.data(), length, name.c_str());
    Check(length == strlen(room.data()), "length follows removal");
    const std::string line = name + "\r\n";
    QuarInetAppendHeader(room.data(), length, line.c_str());
    Check(length == strlen(room.data()), "length follows appending");
}

void Urls(const std::string& url, int size) {
    auto scheme = Buffer(size), host = Buffer(size), path = Buffer(size), joined = Buffer(size);
    uint32_t port = 0;
    if (QuarInetSplitUrl(url.c_str(), scheme.get(), host.get(), port, path.get(), size)) {
        Check(strlen(scheme.get()) < static_cast<size_t>(size) &&
                  strlen(host.get()) < static_cast<size_t>(size) &&
                  strlen(path.get()) < static_cast<size_t>(size),
              "parts fit");
        if (QuarInetCombineUrl(scheme.get(), host.get(), port, path.get(), joined.get(), size)) {
            // What was joined splits into the same host, port and path.
            auto scheme2 = Buffer(size), host2 = Buffer(size), path2 = Buffer(size);
            uint32_t port2 = 0;
            Check(QuarInetSplitUrl(joined.get(), scheme2.get(), host2.get(), port2, path2.get(),
                                   size),
                  "a joined URL splits");
            Check(strcmp(host.get(), host2.get()) == 0 && strcmp(path.get(), path2.get()) == 0 &&
                      (port == 0 ? 80 : port) == port2,
                  "split, join, split keeps host, port and path");
        }
    }
    QuarInetCombineUrl(url.c_str(), url.c_str(), port, url.c_str(), joined.get(), size);
}

void Escaping(const std::string& text, int size) {
    auto escaped = Buffer(size), back = Buffer(size);
    if (QuarURLEscape(escaped.get(), size, text.c_str())) {
        Check(QuarURLUnescape(back.get(), size, escaped.get()), "escaped text unescapes");
        Check(strcmp(back.get(), text.c_str()) == 0, "escaping round trip");
    }
    QuarURLUnescape(back.get(), size, text.c_str());
}

// The names clients ask for, and a few that are near them.
const char* const kNames[] = {"Content-Length:",
                              "Content-Type:",
                              "Location:",
                              "Content-Encoding:",
                              "Set-Cookie:",
                              "Content-type:",
                              "X:",
                              "Location",
                              ":",
                              "",
                              "Host:",
                              "WWW-Authenticate:"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    static const int kLarge[] = {64, 256, 1024, 4096};
    const int bufferSize = data[0] < 128 ? data[0] % 33 : kLarge[data[0] & 3];
    std::vector<std::string> fields(4);
    size_t field = 0;
    for (size_t i = 2; i < size; ++i) {
        if (data[i] == 0) {
            field = (field + 1) % fields.size();
        } else {
            fields[field] += static_cast<char>(data[i]);
        }
    }
    const std::string name =
        data[1] >= 0xF0 ? fields[3] : kNames[data[1] % (sizeof kNames / sizeof *kNames)];
    Headers(fields[0], name, bufferSize);
    Urls(fields[1], bufferSize);
    Escaping(fields[2], bufferSize);
    uint32_t code = 0;
    memcpy(&code, data, size < 4 ? size : 4);
    Check(QuarInetGetErrorDescription(code) != nullptr, "every code has a text");
    return 0;
}
