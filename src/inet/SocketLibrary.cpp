#include "inet/SocketLibrary.h"

#include <memory>
#include <type_traits>

namespace inet {
namespace {

// The loaded module with its table; started with version 1.1 and cleaned up when the library
// is unloaded.
class LoadedSocketLibrary {
  public:
    LoadedSocketLibrary() : module_(LoadModule("WSOCK32.DLL")) {
        if (module_ == nullptr) {
            return;
        }
        bool complete = true;
        auto bind = [&](auto& slot, const char* name) {
            slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(module_->Lookup(name));
            complete = complete && slot != nullptr;
        };
        bind(table_.closesocket, "closesocket");
        bind(table_.connect, "connect");
        bind(table_.htons, "htons");
        bind(table_.inet_addr, "inet_addr");
        bind(table_.inet_ntoa, "inet_ntoa");
        bind(table_.recv, "recv");
        bind(table_.send, "send");
        bind(table_.socket, "socket");
        bind(table_.gethostbyname, "gethostbyname");
        bind(table_.setsockopt, "setsockopt");
        bind(table_.WSAGetLastError, "WSAGetLastError");
        bind(table_.WSAStartup, "WSAStartup");
        bind(table_.WSACleanup, "WSACleanup");
        bind(table_.getaddrinfo, "getaddrinfo");
        bind(table_.freeaddrinfo, "freeaddrinfo");
        bind(table_.shutdown, "shutdown");
        if (table_.WSAStartup != nullptr) {
            wsock::WSADATA data;
            table_.WSAStartup(0x0101, &data);
        }
        available_ = complete;
    }
    ~LoadedSocketLibrary() {
        if (table_.WSACleanup != nullptr) {
            table_.WSACleanup();
        }
    }
    LoadedSocketLibrary(const LoadedSocketLibrary&) = delete;
    LoadedSocketLibrary& operator=(const LoadedSocketLibrary&) = delete;

    const SocketLibrary* Table() const { return available_ ? &table_ : nullptr; }

  private:
    std::unique_ptr<Module> module_;
    SocketLibrary table_;
    bool available_ = false;
};

}  // namespace

const SocketLibrary* SocketTable() {
    static const LoadedSocketLibrary library;
    return library.Table();
}

}  // namespace inet
