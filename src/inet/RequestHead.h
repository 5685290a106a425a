// The head of a request as the socket transport writes it: the request line (origin form to a
// server reached directly, absolute form to a proxy), the caller's header lines made whole, a
// Host line when the caller gave none, the body's length and the proxy's credentials.
#pragma once

#include <cstdint>

#include <string>

namespace inet {

struct RequestHeadParts {
    const char* verb;
    const char* host;  // an IPv6 literal with or without its brackets
    uint32_t port;
    const char* path;
    const char* headers;  // the caller's block; may be null
    size_t headersLength;
    uint64_t bodyLength;
    bool viaProxy;
    // "Proxy-Authorization: Basic ...\r\n" for the proxy, or empty.
    std::string proxyCredentials;
};

// The caller's block as complete CR LF lines: it ends at its first empty line, a line ended by
// LF alone or by nothing gets CR LF, and a line that is empty is dropped.
std::string WholeHeaderLines(const char* block, size_t length);

// The block without the lines that carry credentials for the server (Authorization, Cookie,
// Proxy-Authorization) and without the caller's Host line: what a request to another origin
// may carry.
std::string WithoutCredentials(const std::string& lines);

// The host as a Host line or URL names it: an IPv6 literal in brackets, ":port" unless 80.
std::string HostAndPort(const std::string& host, uint32_t port);

// The request line and header lines with the blank line that ends them.
std::string BuildRequestHead(const RequestHeadParts& parts);

}  // namespace inet
