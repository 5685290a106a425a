#include "inet/dialog/CredentialsPrompt.h"

#include <strings.h>

#include <cstddef>

namespace inet {
namespace {

constexpr std::size_t kMaxRealm = 64;

// The value of the first header `name` in a CR LF header block, or "" without one.
std::string HeaderValue(const std::string& headers, const char* name) {
    const std::size_t nameLength = std::string(name).size();
    std::size_t start = 0;
    while (start < headers.size()) {
        std::size_t end = headers.find('\n', start);
        if (end == std::string::npos) {
            end = headers.size();
        }
        std::string line = headers.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.size() > nameLength && line[nameLength] == ':' &&
            strncasecmp(line.c_str(), name, nameLength) == 0) {
            return line.substr(nameLength + 1);
        }
        start = end + 1;
    }
    return std::string();
}

}  // namespace

std::string ChallengeRealm(const std::string& headers, bool proxy) {
    const std::string value =
        HeaderValue(headers, proxy ? "Proxy-Authenticate" : "WWW-Authenticate");
    std::size_t at = 0;
    while ((at = value.find('=', at)) != std::string::npos) {
        std::size_t key = at;
        while (key > 0 && value[key - 1] == ' ') {
            --key;
        }
        if (key >= 5 && strncasecmp(value.c_str() + key - 5, "realm", 5) == 0) {
            break;
        }
        ++at;
    }
    if (at == std::string::npos) {
        return std::string();
    }
    std::size_t i = value.find_first_not_of(' ', at + 1);
    std::string realm;
    if (i != std::string::npos && value[i] == '"') {
        for (++i; i < value.size() && value[i] != '"'; ++i) {
            if (value[i] == '\\' && i + 1 < value.size()) {
                ++i;
            }
            realm += value[i];
        }
    } else if (i != std::string::npos) {
        realm = value.substr(i, value.find_first_of(" ,", i) - i);
    }
    for (char& c : realm) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = ' ';
        }
    }
    return realm.size() > kMaxRealm ? realm.substr(0, kMaxRealm) : realm;
}

std::string CredentialsPrompt(bool proxy, const std::string& who, const std::string& realm,
                              bool refused) {
    std::string prompt = refused ? "The password was refused. " : "";
    prompt += proxy ? "The proxy " + who : who;
    prompt += " wants a user name and password";
    if (!realm.empty()) {
        prompt += " for \"" + realm + "\"";
    }
    return prompt + ".";
}

}  // namespace inet
