#include "inet/WinInetLayer.h"

#include <new>

#include "inet/WinInetTable.h"

namespace inet {

bool WinInetLayerAvailable() {
    return ProcessWinInetTable().Available();
}

QuarInetHttpRequest* CreateWinInetRequest(QuarInetStatusCallback callback) {
    try {
        return new QuarInetHttpRequestWinInetImpl(callback, nullptr);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace inet
