#include "inet/WinInetLayer.h"

#include "inet/ModuleLoader.h"

namespace inet {

bool WinInetLayerAvailable() {
    static const bool available = [] {
        const std::unique_ptr<Module> module = LoadModule("WININET.DLL");
        if (module == nullptr) {
            return false;
        }
        // InternetQueryOptionA and InternetSetOptionA are optional.
        for (const char* name :
             {"HttpOpenRequestA", "HttpQueryInfoA", "HttpSendRequestA", "InternetCloseHandle",
              "InternetConnectA", "InternetOpenA", "InternetQueryDataAvailable", "InternetReadFile",
              "InternetSetStatusCallback", "InternetErrorDlg"}) {
            if (module->Lookup(name) == nullptr) {
                return false;
            }
        }
        return true;
    }();
    return available;
}

QuarInetHttpRequest* CreateWinInetRequest(QuarInetStatusCallback /*callback*/) {
    // The transport over the layer is not part of this build yet.
    return nullptr;
}

}  // namespace inet
