// libquarwininet.so opened by path and its entry points looked up by name, as the transport
// does; and a handle that closes itself.
#pragma once

#include <dlfcn.h>

#include <stdexcept>
#include <string>

#include "inet/wininet/WinInetApi.h"

class LayerLibrary {
  public:
    explicit LayerLibrary(const char* path) : module_(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {
        if (module_ == nullptr) {
            throw std::runtime_error(std::string("cannot load ") + path + ": " + dlerror());
        }
    }
    ~LayerLibrary() { dlclose(module_); }
    LayerLibrary(const LayerLibrary&) = delete;
    LayerLibrary& operator=(const LayerLibrary&) = delete;

    template <typename Fn>
    Fn Lookup(const char* name) const {
        void* entry = dlsym(module_, name);
        if (entry == nullptr) {
            throw std::runtime_error(std::string("missing entry point ") + name);
        }
        return reinterpret_cast<Fn>(entry);
    }

  private:
    void* module_;

  public:
    const QuarInternetOpenAFn InternetOpenA = Lookup<QuarInternetOpenAFn>("InternetOpenA");
    const QuarInternetConnectAFn InternetConnectA =
        Lookup<QuarInternetConnectAFn>("InternetConnectA");
    const QuarHttpOpenRequestAFn HttpOpenRequestA =
        Lookup<QuarHttpOpenRequestAFn>("HttpOpenRequestA");
    const QuarHttpSendRequestAFn HttpSendRequestA =
        Lookup<QuarHttpSendRequestAFn>("HttpSendRequestA");
    const QuarHttpQueryInfoAFn HttpQueryInfoA = Lookup<QuarHttpQueryInfoAFn>("HttpQueryInfoA");
    const QuarInternetQueryDataAvailableFn InternetQueryDataAvailable =
        Lookup<QuarInternetQueryDataAvailableFn>("InternetQueryDataAvailable");
    const QuarInternetReadFileFn InternetReadFile =
        Lookup<QuarInternetReadFileFn>("InternetReadFile");
    const QuarInternetSetStatusCallbackFn InternetSetStatusCallback =
        Lookup<QuarInternetSetStatusCallbackFn>("InternetSetStatusCallback");
    const QuarInternetSetOptionAFn InternetSetOptionA =
        Lookup<QuarInternetSetOptionAFn>("InternetSetOptionA");
    const QuarInternetQueryOptionAFn InternetQueryOptionA =
        Lookup<QuarInternetQueryOptionAFn>("InternetQueryOptionA");
    const QuarInternetCloseHandleFn InternetCloseHandle =
        Lookup<QuarInternetCloseHandleFn>("InternetCloseHandle");
    const QuarInternetErrorDlgFn InternetErrorDlg =
        Lookup<QuarInternetErrorDlgFn>("InternetErrorDlg");
    const QuarWinInetGetLastErrorFn GetLastError =
        Lookup<QuarWinInetGetLastErrorFn>("QuarWinInetGetLastError");
};

// A handle of the layer, closed when it goes unless already closed.
class LayerHandle {
  public:
    LayerHandle(const LayerLibrary& library, void* handle) : library_(library), handle_(handle) {}
    ~LayerHandle() {
        if (handle_ != nullptr) {
            library_.InternetCloseHandle(handle_);
        }
    }
    LayerHandle(const LayerHandle&) = delete;
    LayerHandle& operator=(const LayerHandle&) = delete;
    void* get() const { return handle_; }
    void* release() {
        void* handle = handle_;
        handle_ = nullptr;
        return handle;
    }

  private:
    const LayerLibrary& library_;
    void* handle_;
};
