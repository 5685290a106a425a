// The record's documented defaults, for tests linked before the record's own constructors are
// in the library; a definition in the library replaces this one.
#include "QuarInet.h"

__attribute__((weak)) QuarInetOptions::QuarInetOptions()
    : UseIEsettings(1),
      Proxy(0),
      ProxyAddress(),
      ProxyPort(80),
      ProxyAuthorization(0),
      ProxyLog(),
      ProxyPwd(),
      DialogTitle(nullptr) {}
