#include <cstdio>
#include <cstring>

#include "QuarInet.h"
#include "platform/Decimal.h"

namespace {

bool IsAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether [begin, end) is a scheme name: a letter, then letters, digits, "+", "-" or ".".
bool IsSchemeName(const char* begin, const char* end) {
    if (begin == end || !IsAlpha(*begin)) {
        return false;
    }
    for (const char* p = begin + 1; p < end; ++p) {
        if (!IsAlpha(*p) && !IsDigit(*p) && *p != '+' && *p != '-' && *p != '.') {
            return false;
        }
    }
    return true;
}

// Copies [begin, end) with a NUL into `out` of `size` bytes; false when it does not fit.
bool CopyWhole(const char* begin, const char* end, char* out, int size) {
    size_t length = static_cast<size_t>(end - begin);
    if (length >= static_cast<size_t>(size)) {
        return false;
    }
    std::memcpy(out, begin, length);
    out[length] = '\0';
    return true;
}

// The decimal number at `text`, 0 when there is none, held at the largest 32-bit value.
uint32_t ReadPort(const char* text) {
    return static_cast<uint32_t>(ScanDecimal(text, DecimalSyntax::kDigits, 0, UINT32_MAX).value);
}

}  // namespace

bool QuarInetSplitUrl(const char* url, char* scheme, char* host, uint32_t& port, char* path,
                      int size) {
    if (url == nullptr || scheme == nullptr || host == nullptr || path == nullptr || size <= 0) {
        return false;
    }
    scheme[0] = '\0';
    host[0] = '\0';
    path[0] = '\0';
    port = 80;

    // A "://" marks a scheme only after a scheme name, so that a relative location whose query
    // carries a URL ("/login?next=http://...") stays a path.
    const char* rest = url;
    const char* separator = std::strstr(url, "://");
    if (separator != nullptr && IsSchemeName(url, separator)) {
        rest = separator + 3;
        if (!CopyWhole(url, rest, scheme, size)) {
            return false;
        }
    }

    // The host ends at the first "/" or "\"; either may also appear later in the path.
    const char* pathStart = rest + strcspn(rest, "/\\");
    if (*pathStart == '\0') {
        return false;
    }
    if (*rest == '[') {
        // An IPv6 literal: the host is what the brackets hold, the port follows them.
        const char* close = static_cast<const char*>(std::memchr(rest, ']', pathStart - rest));
        if (close == nullptr || (close + 1 != pathStart && close[1] != ':') ||
            !CopyWhole(rest + 1, close, host, size)) {
            return false;
        }
        if (close + 1 != pathStart) {
            port = ReadPort(close + 2);
        }
    } else if (pathStart != rest) {
        const char* colon = static_cast<const char*>(std::memchr(rest, ':', pathStart - rest));
        if (colon != nullptr) {
            if (!CopyWhole(rest, colon, host, size)) {
                return false;
            }
            port = ReadPort(colon + 1);
        } else if (!CopyWhole(rest, pathStart, host, size)) {
            return false;
        }
    }

    size_t pathLength = std::strlen(pathStart);
    if (pathLength > static_cast<size_t>(size) - 1) {
        pathLength = static_cast<size_t>(size) - 1;
    }
    std::memcpy(path, pathStart, pathLength);
    path[pathLength] = '\0';
    return true;
}

bool QuarInetCombineUrl(const char* scheme, const char* host, uint32_t port, const char* path,
                        char* out, int size) {
    if (out == nullptr || size <= 0) {
        return false;
    }
    if (scheme == nullptr || *scheme == '\0') {
        scheme = "http://";
    }
    if (path == nullptr || *path == '\0') {
        path = "/";
    }
    if (host == nullptr) {
        host = "";
    }
    // An IPv6 literal goes in brackets, so that its colons are not taken for the port's.
    const bool bracket = std::strchr(host, ':') != nullptr && host[0] != '[';
    size_t pathLength = std::strlen(path);
    if (std::strlen(scheme) + std::strlen(host) + (bracket ? 2 : 0) + pathLength + 5 >
        static_cast<size_t>(size)) {
        return false;
    }
    const char* open = bracket ? "[" : "";
    const char* close = bracket ? "]" : "";
    int written = (port != 0 && port != 80)
                      ? std::snprintf(out, size, "%s%s%s%s:%u", scheme, open, host, close, port)
                      : std::snprintf(out, size, "%s%s%s%s", scheme, open, host, close);
    if (written < 0 || static_cast<size_t>(written) + pathLength >= static_cast<size_t>(size)) {
        return false;
    }
    std::memcpy(out + written, path, pathLength + 1);
    return true;
}
