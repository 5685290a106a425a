#include "inet/OptionsStore.h"

#include "platform/RegFile.h"

#include <cstdint>
#include <cstring>

#include <string>

#include "inet/Base64.h"
#include "platform/Decimal.h"

namespace inet {
namespace {

constexpr size_t kTextRoom = QuarInetOptions::TextSize;

// The longest stored password text: the Base64 form of the longest password the record holds.
constexpr size_t kStoredPasswordRoom = (kTextRoom - 1 + 2) / 3 * 4 + 1;

// A name that the registry file can hold as part of one key line: no line end, no bracket that
// would end the key's line early, no other control byte.
bool UsableKeyName(const char* keyName) {
    return keyName != nullptr && *keyName != '\0' && std::strlen(keyName) <= kMaxKeyNameLength &&
           RegFile::UsableKeyPath(keyName);
}

void CopyText(char (&member)[kTextRoom], const std::string& text) {
    const size_t length = text.size() < kTextRoom ? text.size() : kTextRoom - 1;
    std::memcpy(member, text.data(), length);
    member[length] = '\0';
}

int32_t ReadNumber(Registry& registry, const std::string& key, const char* name,
                   uint32_t fallback) {
    uint32_t value = 0;
    return static_cast<int32_t>(
        registry.QueryDword(Hive::CurrentUser, key, name, &value) == ERROR_SUCCESS ? value
                                                                                   : fallback);
}

// The stored text, or empty when it is missing, of the other type, or `room` bytes or longer.
std::string ReadText(Registry& registry, const std::string& key, const char* name, size_t room) {
    std::string text;
    if (registry.QueryText(Hive::CurrentUser, key, name, &text) != ERROR_SUCCESS ||
        text.size() >= room || text.find('\0') != std::string::npos) {
        return std::string();
    }
    return text;
}

}  // namespace

bool OptionsStored(Registry& registry, const char* keyName) {
    return UsableKeyName(keyName) &&
           (registry.KeyExists(Hive::CurrentUser, std::string(kSettingsRoot) + keyName) ||
            registry.KeyExists(Hive::CurrentUser, std::string(kOlderSettingsRoot) + keyName));
}

bool LoadOptions(Registry& registry, const char* keyName, QuarInetOptions& options) {
    if (!UsableKeyName(keyName)) {
        return false;
    }
    std::string key = std::string(kSettingsRoot) + keyName;
    if (!registry.KeyExists(Hive::CurrentUser, key)) {
        key = std::string(kOlderSettingsRoot) + keyName;
        if (!registry.KeyExists(Hive::CurrentUser, key)) {
            return true;
        }
    }
    options.UseIEsettings = ReadNumber(registry, key, "UseIEsettings", 1);
    options.Proxy = ReadNumber(registry, key, "Proxy", 0);
    CopyText(options.ProxyAddress, ReadText(registry, key, "ProxyAddress", kTextRoom));
    options.ProxyPort = static_cast<uint32_t>(ReadNumber(registry, key, "ProxyPort", 80));
    options.ProxyAuthorization = ReadNumber(registry, key, "ProxyAuthorization", 0);
    CopyText(options.ProxyLog, ReadText(registry, key, "ProxyLog", kTextRoom));
    const std::string stored = ReadText(registry, key, "ProxyPwd", kStoredPasswordRoom);
    CopyText(options.ProxyPwd, Base64Decode(stored.c_str(), kTextRoom - 1));
    return true;
}

bool SaveOptions(Registry& registry, const char* keyName, const QuarInetOptions& options) {
    if (!UsableKeyName(keyName)) {
        return false;
    }
    const std::string key = std::string(kSettingsRoot) + keyName;
    const Hive hive = Hive::CurrentUser;
    if (registry.CreateKey(hive, key) != ERROR_SUCCESS) {
        return false;
    }
    const long results[] = {
        registry.SetDword(hive, key, "UseIEsettings", static_cast<uint32_t>(options.UseIEsettings)),
        registry.SetDword(hive, key, "Proxy", static_cast<uint32_t>(options.Proxy)),
        registry.SetText(hive, key, "ProxyAddress", options.ProxyAddress),
        registry.SetDword(hive, key, "ProxyPort", options.ProxyPort),
        registry.SetDword(hive, key, "ProxyAuthorization",
                          static_cast<uint32_t>(options.ProxyAuthorization)),
        registry.SetText(hive, key, "ProxyLog", options.ProxyLog),
        registry.SetText(hive, key, "ProxyPwd",
                         Base64Encode(options.ProxyPwd, std::strlen(options.ProxyPwd))),
    };
    for (long result : results) {
        if (result != ERROR_SUCCESS) {
            return false;
        }
    }
    return true;
}

void SplitProxyServer(const std::string& server, QuarInetOptions& options) {
    std::string text = server;
    const size_t http = text.find("http=");
    if (http != std::string::npos) {
        text = text.substr(http + 5);
        text = text.substr(0, text.find(';'));
    }
    const size_t colon = text.rfind(':');
    if (text.empty() || colon == std::string::npos) {
        CopyText(options.ProxyAddress, text);
        options.ProxyPort = 80;
        return;
    }
    CopyText(options.ProxyAddress, text.substr(0, colon));
    // The decimal number at the start of the rest; 0 when there is none.
    const char* digits = text.c_str() + colon + 1;
    options.ProxyPort =
        static_cast<uint32_t>(ScanDecimal(digits, DecimalSyntax::kDigits, 0, UINT32_MAX).value);
}

bool ImportBrowserSettings(Registry& registry, QuarInetOptions& options) {
    if (!registry.KeyExists(Hive::CurrentUser, kInternetSettingsKey)) {
        return false;
    }
    options.UseIEsettings = 0;
    options.Proxy = ReadNumber(registry, kInternetSettingsKey, "ProxyEnable", 0);
    SplitProxyServer(ReadText(registry, kInternetSettingsKey, "ProxyServer", kTextRoom), options);
    options.ProxyAuthorization = 0;
    options.ProxyLog[0] = '\0';
    options.ProxyPwd[0] = '\0';
    return true;
}

}  // namespace inet
