#include <string.h>

#include "QuarInet.h"
#include "inet/OptionsStore.h"
#include "platform/Registry.h"

QuarInetOptions::QuarInetOptions() : QuarInetOptions(nullptr) {}

QuarInetOptions::QuarInetOptions(const char* key_name)
    : UseIEsettings(1),
      Proxy(0),
      ProxyAddress(),
      ProxyPort(80),
      ProxyAuthorization(0),
      ProxyLog(),
      ProxyPwd(),
      DialogTitle(nullptr) {
    if (key_name != nullptr) {
        Load(key_name);
    }
}

QuarInetOptions::QuarInetOptions(const QuarInetOptions& other) : DialogTitle(nullptr) {
    UseIEsettings = other.UseIEsettings;
    Proxy = other.Proxy;
    memcpy(ProxyAddress, other.ProxyAddress, sizeof ProxyAddress);
    ProxyPort = other.ProxyPort;
    ProxyAuthorization = other.ProxyAuthorization;
    memcpy(ProxyLog, other.ProxyLog, sizeof ProxyLog);
    memcpy(ProxyPwd, other.ProxyPwd, sizeof ProxyPwd);
}

QuarInetOptions& QuarInetOptions::operator=(const QuarInetOptions& other) = default;

bool QuarInetOptions::Load(const char* key_name) {
    return inet::LoadOptions(*OpenSystemRegistry(), key_name, *this);
}

bool QuarInetOptions::Save(const char* key_name) {
    return inet::SaveOptions(*OpenSystemRegistry(), key_name, *this);
}

bool QuarInetOptions::ImportIESettings() {
    return inet::ImportBrowserSettings(*OpenSystemRegistry(), *this);
}
