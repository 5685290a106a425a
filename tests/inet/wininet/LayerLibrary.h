// libquarwininet.so opened by path and its entry points looked up by name, as the transport
// does; and a handle that closes itself.
#pragma once

#include <dlfcn.h>
#include <stdint.h>

#include <stdexcept>
#include <string>

#include "inet/wininet/WinInetApi.h"

class LayerLibrary;

// A handle of the layer, closed when it goes unless already closed.
class LayerHandle {
  public:
    LayerHandle(const LayerLibrary& library, void* handle) : library_(library), handle_(handle) {}
    ~LayerHandle();
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

    // The handles of one exchange: a session of the access type `access` (0: preconfigured,
    // 1: direct), its HTTP connection to 127.0.0.1:`port`, a request on that connection.
    LayerHandle Session(uint32_t access) const {
        return LayerHandle(*this, InternetOpenA("QuarInet", access, nullptr, nullptr, 0));
    }
    LayerHandle Connect(const LayerHandle& session, int port, uintptr_t context = 0) const {
        return LayerHandle(*this,
                           InternetConnectA(session.get(), "127.0.0.1", port, nullptr, nullptr,
                                            wininet::INTERNET_SERVICE_HTTP, 0, context));
    }
    LayerHandle Request(const LayerHandle& connection, const char* verb, const char* path,
                        uint32_t flags = 0, uintptr_t context = 0) const {
        return LayerHandle(*this, HttpOpenRequestA(connection.get(), verb, path, "HTTP/1.0",
                                                   nullptr, nullptr, flags, context));
    }

  private:
    void* module_;

  public:
// Each entry point as a member of its own name, of the type the layer's header gives it.
#define QUAR_LAYER_ENTRY(name) const Quar##name##Fn name = Lookup<Quar##name##Fn>(#name)
    QUAR_LAYER_ENTRY(InternetOpenA);
    QUAR_LAYER_ENTRY(InternetConnectA);
    QUAR_LAYER_ENTRY(HttpOpenRequestA);
    QUAR_LAYER_ENTRY(HttpSendRequestA);
    QUAR_LAYER_ENTRY(HttpSendRequestExA);
    QUAR_LAYER_ENTRY(InternetWriteFile);
    QUAR_LAYER_ENTRY(HttpEndRequestA);
    QUAR_LAYER_ENTRY(HttpQueryInfoA);
    QUAR_LAYER_ENTRY(InternetQueryDataAvailable);
    QUAR_LAYER_ENTRY(InternetReadFile);
    QUAR_LAYER_ENTRY(InternetSetStatusCallback);
    QUAR_LAYER_ENTRY(InternetSetOptionA);
    QUAR_LAYER_ENTRY(InternetQueryOptionA);
    QUAR_LAYER_ENTRY(InternetCloseHandle);
    QUAR_LAYER_ENTRY(InternetErrorDlg);
#undef QUAR_LAYER_ENTRY
    const QuarWinInetGetLastErrorFn GetLastError =
        Lookup<QuarWinInetGetLastErrorFn>("QuarWinInetGetLastError");
};

inline LayerHandle::~LayerHandle() {
    if (handle_ != nullptr) {
        library_.InternetCloseHandle(handle_);
    }
}
