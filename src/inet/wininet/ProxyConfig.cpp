#include "inet/wininet/ProxyConfig.h"

#include <cctype>
#include <cstdlib>

namespace wininet {

namespace {

std::string Trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) {
        ++begin;
    }
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) {
        --end;
    }
    return text.substr(begin, end - begin);
}

template <typename Visit>
void ForEachEntry(const std::string& list, Visit visit) {
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string::npos) {
            end = list.size();
        }
        const std::string entry = Trim(list.substr(start, end - start));
        if (!entry.empty()) {
            visit(entry);
        }
        start = end + 1;
    }
}

std::string PercentDecode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// http_proxy split into "host:port" and its credentials.
struct EnvProxy {
    std::string server;
    std::string user;
    std::string password;
};

EnvProxy ParseEnvProxy(std::string url) {
    EnvProxy env;
    const std::size_t scheme = url.find("://");
    if (scheme != std::string::npos) {
        url.erase(0, scheme + 3);
    }
    const std::size_t slash = url.find('/');
    if (slash != std::string::npos) {
        url.erase(slash);
    }
    const std::size_t at = url.rfind('@');
    if (at != std::string::npos) {
        const std::string userinfo = url.substr(0, at);
        const std::size_t colon = userinfo.find(':');
        env.user = PercentDecode(userinfo.substr(0, colon));
        if (colon != std::string::npos) {
            env.password = PercentDecode(userinfo.substr(colon + 1));
        }
        url.erase(0, at + 1);
    }
    env.server = url;
    return env;
}

}  // namespace

ProxyConfig ParseProxyList(const std::string& list) {
    ProxyConfig config;
    if (list.find('=') == std::string::npos) {
        config.http = config.https = Trim(list);
        return config;
    }
    ForEachEntry(list, [&](const std::string& entry) {
        const std::size_t equals = entry.find('=');
        if (equals == std::string::npos) {
            return;
        }
        const std::string scheme = Trim(entry.substr(0, equals));
        const std::string server = Trim(entry.substr(equals + 1));
        if (scheme == "http") {
            config.http = server;
        } else if (scheme == "https") {
            config.https = server;
        }
    });
    return config;
}

std::string ParseBypassList(const std::string& list) {
    std::string out;
    ForEachEntry(list, [&](std::string entry) {
        if (entry == "<local>") {
            return;
        }
        if (entry.compare(0, 2, "*.") == 0) {
            entry.erase(0, 1);  // libcurl takes ".example" for every name below example
        }
        if (!out.empty()) {
            out += ',';
        }
        out += entry;
    });
    return out;
}

ProxyConfig ReadPreconfiguredProxy(Registry& registry, const char* httpProxyEnv) {
    uint32_t enabled = 0;
    std::string server;
    if (registry.QueryDword(Hive::CurrentUser, kInternetSettingsKey, "ProxyEnable", &enabled) !=
            ERROR_SUCCESS ||
        enabled == 0 ||
        registry.QueryText(Hive::CurrentUser, kInternetSettingsKey, "ProxyServer", &server) !=
            ERROR_SUCCESS) {
        return ProxyConfig();
    }
    ProxyConfig config = ParseProxyList(server);
    std::string bypass;
    if (registry.QueryText(Hive::CurrentUser, kInternetSettingsKey, "ProxyOverride", &bypass) ==
        ERROR_SUCCESS) {
        config.hasBypass = true;
        config.bypass = ParseBypassList(bypass);
    }
    if (registry.QueryText(Hive::CurrentUser, kInternetSettingsKey, "ProxyUserName",
                           &config.user) == ERROR_SUCCESS &&
        !config.user.empty()) {
        registry.QueryText(Hive::CurrentUser, kInternetSettingsKey, "ProxyPassword",
                           &config.password);
        return config;
    }
    config.user.clear();
    if (httpProxyEnv != nullptr) {
        const EnvProxy env = ParseEnvProxy(httpProxyEnv);
        if (!env.user.empty() && (env.server == config.http || env.server == config.https)) {
            config.user = env.user;
            config.password = env.password;
        }
    }
    return config;
}

}  // namespace wininet
