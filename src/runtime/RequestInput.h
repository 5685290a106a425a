// What a server program takes from its CGI environment: the request body, the client's
// addresses, and the request name and token of the query string.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>

#include "platform/Env.h"

// The largest request body a program accepts. Forms of the administration pages and requests
// of the endpoint are far smaller; a larger CONTENT_LENGTH is refused before anything is
// allocated.
constexpr std::size_t kMaxContentLength = 8u << 20;

// The most of HTTP_X_FORWARDED_FOR that is kept: a short list of addresses. A longer value is
// cut, so that no sender can make each logged line or stored session large.
constexpr std::size_t kMaxForwardedLength = 64;

struct ClientAddresses {
    std::string client;  // HTTP_X_FORWARDED_FOR (its first 64 bytes), else REMOTE_ADDR, else empty
    std::string proxy;   // REMOTE_ADDR when the request came through a proxy
    std::string remoteHost;  // REMOTE_HOST when it did not
};

// Reads the three variables from the process environment.
ClientAddresses ReadClientAddresses();

struct RequestName {
    std::string name;
    std::string token;
};

// Splits a query string at the first "|", else at the first "%7C" (upper-case C only). An empty
// token is replaced by a freshly generated one (from env). A null query gives an empty name and
// token.
RequestName SplitQueryString(const char* query, Env& env);

// A session token that another client cannot guess: 32 hexadecimal digits from env's random
// source. Without one it is still unique per process (time and process id), if not secret.
std::string GenerateRequestToken(Env& env);

// The body length that a length text announces: its leading decimal digits, 0 when there are
// none (a negative text is 0). Nothing when the number exceeds kMaxContentLength.
std::optional<std::size_t> ParseContentLength(const char* text);

// Reads up to `length` bytes from `source` (until end of input) and closes it.
std::string ReadBody(std::FILE* source, std::size_t length);

// What reading a request body came to.
struct RequestBody {
    enum class Outcome {
        kRead,        // `bytes` holds what was read, at most the announced length
        kNoLength,    // no length text: the request has no body
        kTooLong,     // the length exceeds kMaxContentLength; nothing was opened or read
        kCannotOpen,  // the source file could not be opened; `error` holds errno
    };
    Outcome outcome = Outcome::kNoLength;
    std::string bytes;
    int error = 0;
};

// Reads the body whose length `lengthText` announces (as ParseContentLength reads it) from the
// file `path`, or from standard input when `path` is null, and closes the source.
RequestBody ReadRequestBody(const char* lengthText, const char* path);
