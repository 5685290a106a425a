#include "inet/RequestHead.h"

#include <cstring>

#include "inet/HeaderSearch.h"

namespace inet {

namespace {

bool TakesBody(const char* verb) {
    return std::strcmp(verb, "POST") == 0 || std::strcmp(verb, "PUT") == 0;
}

}  // namespace

std::string WholeHeaderLines(const char* block, size_t length) {
    std::string out;
    if (block == nullptr) {
        return out;
    }
    size_t start = 0;
    while (start < length) {
        const void* found = std::memchr(block + start, '\n', length - start);
        const size_t end = found != nullptr
                               ? static_cast<size_t>(static_cast<const char*>(found) - block)
                               : length;
        size_t stop = end;
        if (stop > start && block[stop - 1] == '\r') {
            --stop;
        }
        if (stop == start) {
            // An empty line ends the block (a blank line of the caller's is the request's own).
            if (found != nullptr) {
                break;
            }
        } else {
            out.append(block + start, stop - start).append("\r\n");
        }
        start = end + 1;
    }
    return out;
}

std::string WithoutCredentials(const std::string& lines) {
    static const char* const kDropped[] = {
        "Authorization:", "Cookie:", "Proxy-Authorization:", "Host:"};
    std::string out;
    size_t start = 0;
    while (start < lines.size()) {
        size_t end = lines.find("\r\n", start);
        end = end == std::string::npos ? lines.size() : end + 2;
        const std::string line = lines.substr(start, end - start);
        bool dropped = false;
        for (const char* name : kDropped) {
            dropped = dropped || StartsWithNoCase(line.c_str(), name);
        }
        if (!dropped) {
            out += line;
        }
        start = end;
    }
    return out;
}

std::string HostAndPort(const std::string& host, uint32_t port) {
    std::string out =
        host.find(':') != std::string::npos && host[0] != '[' ? "[" + host + "]" : host;
    if (port != 80) {
        out += ":" + std::to_string(port);
    }
    return out;
}

std::string BuildRequestHead(const RequestHeadParts& parts) {
    const std::string lines = WholeHeaderLines(parts.headers, parts.headersLength);
    std::string head;
    head.reserve(std::strlen(parts.path) + lines.size() + 256);
    head.append(parts.verb).append(" ");
    if (parts.viaProxy) {
        // A proxy needs the whole URL; the port stays written even when it is 80.
        std::string host = HostAndPort(parts.host, 80);
        head.append("http://").append(host).append(":").append(std::to_string(parts.port));
    }
    head.append(parts.path).append(" HTTP/1.0\r\n");
    head += lines;
    if (!parts.viaProxy && FindHeaderLine(lines.c_str(), "Host:") == nullptr) {
        head.append("Host: ").append(HostAndPort(parts.host, parts.port)).append("\r\n");
    }
    // Servers refuse a body without its length (HTTP/1.0 has no other way to delimit it), and
    // a POST or PUT without one even when its body is empty.
    if ((parts.bodyLength > 0 || TakesBody(parts.verb)) &&
        FindHeaderLine(lines.c_str(), "Content-Length:") == nullptr) {
        head.append("Content-Length: ").append(std::to_string(parts.bodyLength)).append("\r\n");
    }
    head += parts.proxyCredentials;
    head.append("\r\n");
    return head;
}

}  // namespace inet
