// Which proxy a session's requests take: the browser's settings in the current user's registry
// (preconfigured access), a list given to InternetOpenA, or none.
#pragma once

#include <string>

#include "platform/Registry.h"

namespace wininet {

struct ProxyConfig {
    // "host:port" for each scheme; empty: that scheme goes direct.
    std::string http;
    std::string https;
    // Hosts that go direct, as libcurl's comma list; unset: the environment's no_proxy applies.
    bool hasBypass = false;
    std::string bypass;
    // Basic credentials for the proxy; empty user: none.
    std::string user;
    std::string password;

    // The proxy for a URL's scheme ("http" or "https"), or "".
    const std::string& For(const std::string& scheme) const {
        return scheme == "https" ? https : http;
    }
};

// A proxy list as ProxyServer holds it: "host:port" for every scheme, or per scheme
// "http=host:port;https=host:port" (other schemes ignored).
ProxyConfig ParseProxyList(const std::string& list);

// A bypass list as ProxyOverride holds it ("a.example;*.b.example;<local>") as libcurl's comma
// list; "<local>" (names without a dot) has no equivalent there and is left out.
std::string ParseBypassList(const std::string& list);

// The browser's settings: ProxyEnable, ProxyServer, ProxyOverride, and the credentials
// ProxyUserName and ProxyPassword of the Internet Settings key. When the key holds no user name,
// the user and password of `httpProxyEnv` (the http_proxy variable, may be null) are taken
// if it names the same proxy.
ProxyConfig ReadPreconfiguredProxy(Registry& registry, const char* httpProxyEnv);

}  // namespace wininet
