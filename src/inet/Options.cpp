#include <cstring>

#include "QuarInet.h"
#include "inet/OptionsStore.h"
#include "platform/Registry.h"

QuarInetOptions::QuarInetOptions() : QuarInetOptions(nullptr) {}

QuarInetOptions::QuarInetOptions(const char* keyName)
    : UseIEsettings(1),
      Proxy(0),
      ProxyAddress(),
      ProxyPort(80),
      ProxyAuthorization(0),
      ProxyLog(),
      ProxyPwd(),
      DialogTitle(nullptr) {
    if (keyName != nullptr) {
        Load(keyName);
    }
}

QuarInetOptions::QuarInetOptions(const QuarInetOptions& other) : DialogTitle(nullptr) {
    UseIEsettings = other.UseIEsettings;
    Proxy = other.Proxy;
    std::memcpy(ProxyAddress, other.ProxyAddress, sizeof ProxyAddress);
    ProxyPort = other.ProxyPort;
    ProxyAuthorization = other.ProxyAuthorization;
    std::memcpy(ProxyLog, other.ProxyLog, sizeof ProxyLog);
    std::memcpy(ProxyPwd, other.ProxyPwd, sizeof ProxyPwd);
}

QuarInetOptions& QuarInetOptions::operator=(const QuarInetOptions& other) = default;

bool QuarInetOptions::Load(const char* keyName) {
    return inet::LoadOptions(*OpenSystemRegistry(), keyName, *this);
}

bool QuarInetOptions::Save(const char* keyName) {
    return inet::SaveOptions(*OpenSystemRegistry(), keyName, *this);
}

bool QuarInetOptions::ImportIESettings() {
    return inet::ImportBrowserSettings(*OpenSystemRegistry(), *this);
}
