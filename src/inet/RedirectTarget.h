// Where a redirect leads: the Location of a response resolved against the URL of the request
// (RFC 3986, section 5), as far as the socket transport can reach it.
#pragma once

#include <cstdint>

#include <optional>
#include <string>

namespace inet {

struct HttpTarget {
    std::string host;  // an IPv6 literal without brackets
    uint32_t port = 80;
    std::string path;  // from its "/", with the query, without a fragment

    bool operator==(const HttpTarget& o) const {
        return host == o.host && port == o.port && path == o.path;
    }
};

// The target of `location` seen from the request to `base`. Empty when the reference leads
// elsewhere than plain http (another scheme), holds CR, LF or NUL, names user information, a
// host longer than `maxHost` characters or with blanks or control bytes, or a port that is not a
// number from 1 to 65535. An IPv6 host comes without its brackets. Blanks, control bytes and
// bytes above 127 of the path and query come percent-encoded.
std::optional<HttpTarget> ResolveRedirect(const HttpTarget& base, const std::string& location,
                                          size_t maxHost = 259);

}  // namespace inet
