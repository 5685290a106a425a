#include "inet/WinInetLayer.h"

#include <new>

#include "inet/WinInetTable.h"

namespace inet {

bool WinInetLayerAvailable() {
    return ProcessWinInetTable().available();
}

QuarInetHttpRequest* CreateWinInetRequest(QuarInetStatusCallback callback) {
    return new (std::nothrow) QuarInetHttpRequestWinInetImpl(callback, nullptr);
}

}  // namespace inet
