#include <string.h>

#include <new>

#include "QuarInet.h"
#include "inet/SocketLibrary.h"
#include "inet/SocketRequest.h"
#include "inet/WinInetLayer.h"
#include "inet/dialog/SettingsDialog.h"

namespace {

bool FitsRecord(const char* text) {
    return text == nullptr || strlen(text) < QuarInetOptions::TextSize;
}

void CopyText(char (&member)[QuarInetOptions::TextSize], const char* text) {
    member[0] = '\0';
    if (text != nullptr) {
        strcpy(member, text);
    }
}

}  // namespace

QuarInetHttpConnection::QuarInetHttpConnection(const char* settings_key, const char* import_key)
    : SettingsKey(settings_key) {
    if (import_key != nullptr && *import_key != '\0') {
        QuarInetOptions options(import_key);
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

bool QuarInetHttpConnection::Configure(int use_ie_settings, int use_proxy,
                                       const char* proxy_address, uint32_t proxy_port,
                                       int proxy_authorization, const char* user,
                                       const char* password) {
    if (!FitsRecord(proxy_address) || !FitsRecord(user) || !FitsRecord(password)) {
        return false;
    }
    QuarInetOptions options(SettingsKey);
    options.UseIEsettings = use_ie_settings;
    options.Proxy = use_proxy;
    CopyText(options.ProxyAddress, proxy_address);
    options.ProxyPort = proxy_port;
    options.ProxyAuthorization = proxy_authorization;
    CopyText(options.ProxyLog, user);
    CopyText(options.ProxyPwd, password);
    return options.Save(SettingsKey);
}

QuarInetHttpRequest* QuarInetHttpConnection::CreateRequest(QuarInetStatusCallback callback) {
    QuarInetOptions options(SettingsKey);
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
