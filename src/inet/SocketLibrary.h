// The socket entry table: "WSOCK32.DLL" and its entry points, bound by name once for the process
// and released when the library is unloaded.
#pragma once

#include "inet/ModuleLoader.h"
#include "inet/SocketAdapter.h"

namespace inet {

struct SocketLibrary {
    wsock::closesocket_fn closesocket = nullptr;
    wsock::connect_fn connect = nullptr;
    wsock::htons_fn htons = nullptr;
    wsock::inet_addr_fn inet_addr = nullptr;
    wsock::inet_ntoa_fn inet_ntoa = nullptr;
    wsock::recv_fn recv = nullptr;
    wsock::send_fn send = nullptr;
    wsock::socket_fn socket = nullptr;
    wsock::gethostbyname_fn gethostbyname = nullptr;
    wsock::setsockopt_fn setsockopt = nullptr;
    wsock::WSAGetLastError_fn WSAGetLastError = nullptr;
    wsock::WSAStartup_fn WSAStartup = nullptr;
    wsock::WSACleanup_fn WSACleanup = nullptr;
    // Of later versions of the library: a thread-safe name lookup, and the shutdown that wakes
    // a call blocked on a socket that another thread aborts.
    wsock::getaddrinfo_fn getaddrinfo = nullptr;
    wsock::freeaddrinfo_fn freeaddrinfo = nullptr;
    wsock::shutdown_fn shutdown = nullptr;
};

// The process's table, or null when the module or one of its entry points is missing. Loaded on
// the first call (safe when threads start requests at the same time) and never retried.
const SocketLibrary* SocketTable();

}  // namespace inet
