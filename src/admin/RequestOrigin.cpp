#include "admin/RequestOrigin.h"

#include <cctype>
#include <cstring>

namespace {

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// "host:port" of a host text, with the scheme's default port taken off.
std::string WithoutDefaultPort(const std::string& authority, const std::string& scheme) {
    const std::string port = scheme == "https" ? ":443" : ":80";
    if (authority.size() > port.size() &&
        authority.compare(authority.size() - port.size(), port.size(), port) == 0) {
        return authority.substr(0, authority.size() - port.size());
    }
    return authority;
}

bool SameOrigin(const std::string& address, const std::string& host) {
    const std::size_t schemeEnd = address.find("://");
    if (schemeEnd == std::string::npos || host.empty()) {
        return false;
    }
    const std::string scheme = Lower(address.substr(0, schemeEnd));
    std::string authority = address.substr(schemeEnd + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    const std::size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        authority.erase(0, at + 1);
    }
    return WithoutDefaultPort(Lower(authority), scheme) == WithoutDefaultPort(Lower(host), scheme);
}

}  // namespace

std::string ForeignOrigin(const char* method, const char* origin, const char* referer,
                          const char* host) {
    if (method == nullptr || std::strcmp(method, "POST") != 0) {
        return {};
    }
    const char* named = origin != nullptr && *origin != '\0' ? origin : referer;
    if (named == nullptr || *named == '\0') {
        return {};
    }
    const std::string address(named, ::strnlen(named, 4096));
    if (SameOrigin(address, host != nullptr ? host : "")) {
        return {};
    }
    return address.substr(0, kMaxOriginText);
}
