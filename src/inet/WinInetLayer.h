// The platform internet library layer ("WININET.DLL"), as the connection sees it when the
// settings ask for the browser's settings.
#pragma once

#include "QuarInet.h"

namespace inet {

// Whether the layer's module loads with every entry point the transport requires (loaded once
// for the process).
bool WinInetLayerAvailable();

// A request over the layer, or null when memory runs out; the connection then uses the socket
// transport with the browser's proxy settings.
QuarInetHttpRequest* CreateWinInetRequest(QuarInetStatusCallback callback);

}  // namespace inet
