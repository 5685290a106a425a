// What a transport does with the response whose header block it has read: deliver it (its
// body gzip-decoded or as it came) or follow the redirect it names, and what Receive answers.
// Both transports ask here, so the rules for status lines, status codes and redirects live in
// one place.
#pragma once

#include <cstdint>

#include <optional>

#include "inet/RedirectTarget.h"

namespace inet {

enum class Transport {
    kSockets,          // the library's own client: follows redirects itself
    kPlatformLibrary,  // the platform internet library has followed them already
};

// The request a response answers.
struct ResponseContext {
    Transport transport = Transport::kSockets;
    HttpTarget request;      // where it went (sockets: resolves a Location)
    unsigned redirects = 0;  // redirects this request followed so far
    bool head = false;       // a HEAD request: the body is empty whatever the headers say
};

struct ResponseVerdict {
    bool follow = false;  // go on to `target`; the response is dropped
    HttpTarget target;
    bool decode = false;  // the body is gzip-decoded for the caller (with its headers rewritten)
    // The answer of Receive does not depend on how the reading ended: `result` is it. Otherwise
    // the reading's own end decides (see ReceiveResult).
    bool fixedResult = false;
    uint32_t result = 0;
    bool checksLength = false;  // a body short of its Content-Length is reported as cut short
    uint32_t status = 0;        // the status code, 0 when the line is unreadable
};

// The length the Content-Length line of `headers` gives, when it has one that is a number of
// digits alone (a negative or malformed one counts as none).
std::optional<uint64_t> DeclaredLength(const char* headers);

// The verdict on a response whose complete header block is `headers` (NUL-terminated).
ResponseVerdict JudgeResponse(const char* headers, const ResponseContext& context);

// What Receive answers for a delivered response judged `verdict`, whose body of `bodyLength`
// bytes (as they came, before decoding) ended with `provisional` (0: the server closed).
uint32_t ReceiveResult(const ResponseVerdict& verdict, const char* headers, uint64_t bodyLength,
                       uint32_t provisional);

}  // namespace inet
