// The built-in "WSOCK32.DLL": the socket library's entry points over BSD sockets, with the
// Windows Sockets meanings the socket transport relies on. Failures are reported through
// WSAGetLastError as Windows Sockets numbers (ECONNREFUSED gives 10061, ECONNRESET 10054, an
// expired time-out 10060, ...). Sockets are blocking; writing to a closed peer never raises
// SIGPIPE. Every function is safe to call from several threads; the last error is per thread.
#pragma once

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <cstdint>

namespace inet {
namespace wsock {

using SOCKET = uintptr_t;
constexpr SOCKET INVALID_SOCKET = ~SOCKET(0);
constexpr int SOCKET_ERROR = -1;
constexpr uint32_t INADDR_NONE_VALUE = 0xFFFFFFFF;

// Options of setsockopt: level SOL_SOCKET with send and receive time-outs in milliseconds
// (a 32-bit number; 0: none).
constexpr int WS_SOL_SOCKET = 0xFFFF;
constexpr int WS_SO_SNDTIMEO = 0x1005;
constexpr int WS_SO_RCVTIMEO = 0x1006;
// shutdown: both directions.
constexpr int SD_BOTH = 2;

struct WSADATA {
    uint16_t wVersion;
    uint16_t wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
};

using closesocket_fn = int (*)(SOCKET);
using connect_fn = int (*)(SOCKET, const sockaddr*, int);
using htons_fn = uint16_t (*)(uint16_t);
using inet_addr_fn = uint32_t (*)(const char*);
using inet_ntoa_fn = char* (*)(in_addr);
using recv_fn = int (*)(SOCKET, char*, int, int);
using send_fn = int (*)(SOCKET, const char*, int, int);
using socket_fn = SOCKET (*)(int, int, int);
using gethostbyname_fn = hostent* (*)(const char*);
using setsockopt_fn = int (*)(SOCKET, int, int, const char*, int);
using WSAGetLastError_fn = int (*)();
using WSAStartup_fn = int (*)(uint16_t, WSADATA*);
using WSACleanup_fn = int (*)();
using getaddrinfo_fn = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
using freeaddrinfo_fn = void (*)(addrinfo*);
using shutdown_fn = int (*)(SOCKET, int);

// The Windows Sockets number for an errno value.
int SocketErrorFromErrno(int error);

}  // namespace wsock

// The adapter's entry point called `name` ("socket", "recv", "WSAStartup", ..., and the later
// "getaddrinfo", "freeaddrinfo" and "shutdown"), or null.
void* FindSocketEntryPoint(const char* name);

}  // namespace inet
