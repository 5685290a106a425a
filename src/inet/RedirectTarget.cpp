#include "inet/RedirectTarget.h"

#include <strings.h>

#include <cctype>
#include <cstdint>

#include "platform/Decimal.h"
#include "platform/PercentCoding.h"

namespace inet {
namespace {

// A URI reference split into its five components; a component that is absent is not the same
// as an empty one.
struct Reference {
    std::optional<std::string> scheme;
    std::optional<std::string> authority;
    std::string path;
    std::optional<std::string> query;
};

Reference Split(const std::string& text) {
    Reference ref;
    std::string rest = text.substr(0, text.find('#'));
    const size_t colon = rest.find(':');
    const size_t firstDelimiter = rest.find_first_of("/?");
    if (colon != std::string::npos && colon > 0 && colon < firstDelimiter &&
        isalpha(static_cast<unsigned char>(rest[0]))) {
        ref.scheme = rest.substr(0, colon);
        rest.erase(0, colon + 1);
    }
    if (rest.compare(0, 2, "//") == 0) {
        const size_t end = rest.find_first_of("/?", 2);
        ref.authority = rest.substr(2, end == std::string::npos ? std::string::npos : end - 2);
        rest.erase(0, end == std::string::npos ? rest.size() : end);
    }
    const size_t question = rest.find('?');
    if (question != std::string::npos) {
        ref.query = rest.substr(question + 1);
        rest.erase(question);
    }
    ref.path = rest;
    return ref;
}

// RFC 3986, 5.2.4.
std::string RemoveDotSegments(std::string in) {
    std::string out;
    while (!in.empty()) {
        if (in.compare(0, 3, "../") == 0) {
            in.erase(0, 3);
        } else if (in.compare(0, 2, "./") == 0) {
            in.erase(0, 2);
        } else if (in.compare(0, 3, "/./") == 0) {
            in.erase(0, 2);
        } else if (in == "/.") {
            in = "/";
        } else if (in.compare(0, 4, "/../") == 0 || in == "/..") {
            in = in.size() == 3 ? "/" : in.substr(3);
            const size_t last = out.rfind('/');
            out.erase(last == std::string::npos ? 0 : last);
        } else if (in == "." || in == "..") {
            in.clear();
        } else {
            const size_t next = in.find('/', 1);
            const size_t length = next == std::string::npos ? in.size() : next;
            out += in.substr(0, length);
            in.erase(0, length);
        }
    }
    return out;
}

// RFC 3986, 5.2.3, for a base that always has an authority.
std::string Merge(const std::string& basePath, const std::string& path) {
    if (basePath.empty()) {
        return "/" + path;
    }
    return basePath.substr(0, basePath.rfind('/') + 1) + path;
}

// Host and port of an http authority; false for user information, an empty or too long host,
// or a port that is not a number from 1 to 65535 ("host:" means the default port). An IPv6
// literal comes in brackets and leaves them behind ("[::1]:81" is host "::1", port 81).
bool ParseAuthority(const std::string& authority, size_t maxHost, HttpTarget& target) {
    if (authority.find('@') != std::string::npos) {
        return false;
    }
    std::string host = authority;
    std::string portText;
    if (!authority.empty() && authority[0] == '[') {
        const size_t close = authority.find(']');
        if (close == std::string::npos || close == 1) {
            return false;
        }
        host = authority.substr(1, close - 1);
        const std::string after = authority.substr(close + 1);
        if (!after.empty() && after[0] != ':') {
            return false;
        }
        portText = after.empty() ? "" : after.substr(1);
        if (host.find_first_not_of("0123456789abcdefABCDEF:.") != std::string::npos) {
            return false;
        }
    } else {
        const size_t colon = authority.rfind(':');
        if (colon != std::string::npos) {
            host = authority.substr(0, colon);
            portText = authority.substr(colon + 1);
        }
        if (host.find_first_of("[]:") != std::string::npos) {
            return false;
        }
    }
    target.port = 80;
    if (!portText.empty()) {
        if (portText.size() > 5 || portText.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        const std::int64_t port =
            ScanDecimal(portText, DecimalSyntax::kDigits, 0, UINT32_MAX).value;
        if (port == 0 || port > 65535) {
            return false;
        }
        target.port = static_cast<uint32_t>(port);
    }
    if (host.empty() || host.size() > maxHost) {
        return false;
    }
    for (const char c : host) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) {
            return false;
        }
    }
    target.host = host;
    return true;
}

}  // namespace

std::optional<HttpTarget> ResolveRedirect(const HttpTarget& base, const std::string& location,
                                          size_t maxHost) {
    if (location.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
        return std::nullopt;
    }
    const Reference ref = Split(location);
    const Reference from = Split(base.path);
    HttpTarget target = base;
    std::string path;
    std::optional<std::string> query;
    if (ref.scheme && strcasecmp(ref.scheme->c_str(), "http") != 0) {
        return std::nullopt;
    }
    if (ref.scheme || ref.authority) {
        if (!ref.authority || !ParseAuthority(*ref.authority, maxHost, target)) {
            return std::nullopt;
        }
        path = RemoveDotSegments(ref.path);
        query = ref.query;
    } else if (ref.path.empty()) {
        path = from.path;
        query = ref.query ? ref.query : from.query;
    } else {
        path = RemoveDotSegments(ref.path[0] == '/' ? ref.path : Merge(from.path, ref.path));
        query = ref.query;
    }
    target.path =
        PercentEncodeUnsafe((path.empty() ? "/" : path) + (query ? "?" + *query : std::string()));
    return target;
}

}  // namespace inet
