#include <cstring>

#include <new>

#include "QuarInet.h"
#include "inet/OptionsStore.h"
#include "inet/SocketLibrary.h"
#include "inet/WinInetLayer.h"
#include "inet/dialog/SettingsDialog.h"
#include "platform/Registry.h"

namespace {

bool FitsRecord(const char* text) {
    return text == nullptr || std::strlen(text) < QuarInetOptions::TextSize;
}

void CopyText(char (&member)[QuarInetOptions::TextSize], const char* text) {
    member[0] = '\0';
    if (text != nullptr) {
        std::strcpy(member, text);
    }
}

}  // namespace

QuarInetHttpConnection::QuarInetHttpConnection(const char* settingsKey, const char* importKey)
    : SettingsKey(settingsKey) {
    // Only settings that exist are copied: a client that imports on every start keeps what the
    // user set up once the old key is gone.
    if (importKey != nullptr && *importKey != '\0' &&
        inet::OptionsStored(*OpenSystemRegistry(), importKey)) {
        QuarInetOptions options(importKey);
        options.Save(SettingsKey);
    }
}

QuarInetHttpConnection::~QuarInetHttpConnection() = default;

bool QuarInetHttpConnection::Configure(const char* caption, QuarInetWindow parent) {
    QuarInetOptions options(SettingsKey);
    options.DialogTitle = caption;
    if (inet::ShowSettingsDialog(options, parent) != inet::DialogOk) {
        return false;
    }
    return options.Save(SettingsKey);
}

bool QuarInetHttpConnection::Configure(int useIeSettings, int useProxy, const char* proxyAddress,
                                       uint32_t proxyPort, int proxyAuthorization, const char* user,
                                       const char* password) {
    if (!FitsRecord(proxyAddress) || !FitsRecord(user) || !FitsRecord(password)) {
        return false;
    }
    QuarInetOptions options(SettingsKey);
    options.UseIEsettings = useIeSettings;
    options.Proxy = useProxy;
    CopyText(options.ProxyAddress, proxyAddress);
    options.ProxyPort = proxyPort;
    options.ProxyAuthorization = proxyAuthorization;
    CopyText(options.ProxyLog, user);
    CopyText(options.ProxyPwd, password);
    return options.Save(SettingsKey);
}

QuarInetHttpRequest* QuarInetHttpConnection::CreateRequest(QuarInetStatusCallback callback) {
    return CreateRequest(callback, QuarInetOptions(SettingsKey));
}

QuarInetHttpRequest* QuarInetHttpConnection::CreateRequest(QuarInetStatusCallback callback,
                                                           const QuarInetOptions& given) {
    QuarInetOptions options(given);
    if (options.UseIEsettings != 0) {
        if (inet::WinInetLayerAvailable()) {
            if (QuarInetHttpRequest* request = inet::CreateWinInetRequest(callback)) {
                return request;
            }
        }
        if (!options.ImportIESettings()) {
            return nullptr;
        }
    }
    if (inet::SocketTable() == nullptr) {
        return nullptr;
    }
    return new (std::nothrow) QuarInetHttpRequestWinSockImpl(options, callback, nullptr);
}
