#include "inet/SocketAdapter.h"

#include <arpa/inet.h>
#include <sys/time.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "platform/FailurePoint.h"

namespace inet {
namespace wsock {
namespace {

thread_local int tLastError = 0;

int Fail(int error) {
    tLastError = error;
    return SOCKET_ERROR;
}

int FailFromErrno() {
    return Fail(SocketErrorFromErrno(errno));
}

int Descriptor(SOCKET s) {
    return s > static_cast<SOCKET>(INT32_MAX) ? -1 : static_cast<int>(s);
}

// On a blocking socket the only reason for EAGAIN is an expired time-out.
int FailIo() {
    return Fail(errno == EAGAIN || errno == EWOULDBLOCK ? 10060 : SocketErrorFromErrno(errno));
}

// A failure a test injects: the system is out of buffers (WSAENOBUFS).
constexpr int kInjected = 10055;
bool Injected() {
    return failure_point::Fails(FailureSite::kSocket);
}

SOCKET WsSocket(int af, int type, int protocol) {
    if (Injected()) {
        Fail(kInjected);
        return INVALID_SOCKET;
    }
    const int fd = ::socket(af, type | SOCK_CLOEXEC, protocol);
    if (fd < 0) {
        FailFromErrno();
        return INVALID_SOCKET;
    }
    return static_cast<SOCKET>(fd);
}

int WsCloseSocket(SOCKET s) {
    return ::close(Descriptor(s)) == 0 ? 0 : FailFromErrno();
}

int WsConnect(SOCKET s, const sockaddr* name, int length) {
    if (Injected()) {
        return Fail(kInjected);
    }
    if (::connect(Descriptor(s), name, static_cast<socklen_t>(length)) == 0) {
        return 0;
    }
    // A send time-out also bounds connect, which then gives up with EINPROGRESS.
    return Fail(errno == EINPROGRESS ? 10060 : SocketErrorFromErrno(errno));
}

uint16_t WsHtons(uint16_t value) {
    return htons(value);
}

uint32_t WsInetAddr(const char* text) {
    in_addr address{};
    return text != nullptr && ::inet_pton(AF_INET, text, &address) == 1 ? address.s_addr
                                                                        : INADDR_NONE_VALUE;
}

char* WsInetNtoa(in_addr address) {
    thread_local char text[INET_ADDRSTRLEN];
    return const_cast<char*>(::inet_ntop(AF_INET, &address, text, sizeof text));
}

int WsRecv(SOCKET s, char* buffer, int length, int flags) {
    if (Injected()) {
        return Fail(kInjected);
    }
    ssize_t got;
    do {
        got = ::recv(Descriptor(s), buffer, static_cast<size_t>(length), flags);
    } while (got < 0 && errno == EINTR);
    return got < 0 ? FailIo() : static_cast<int>(got);
}

int WsSend(SOCKET s, const char* buffer, int length, int flags) {
    if (Injected()) {
        return Fail(kInjected);
    }
    ssize_t sent;
    do {
        sent = ::send(Descriptor(s), buffer, static_cast<size_t>(length), flags | MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent < 0 ? FailIo() : static_cast<int>(sent);
}

int ResolverError(int code) {
    switch (code) {
        case EAI_NONAME:
            return 11001;
        case EAI_AGAIN:
            return 11002;
#ifdef EAI_NODATA
        case EAI_NODATA:
            return 11004;
#endif
        case EAI_MEMORY:
            return 10055;
        default:
            return 11003;
    }
}

int WsGetAddrInfo(const char* node, const char* service, const addrinfo* hints, addrinfo** out) {
    const int rc = Injected() ? EAI_MEMORY : ::getaddrinfo(node, service, hints, out);
    if (rc != 0) {
        tLastError = ResolverError(rc);
        return tLastError;
    }
    return 0;
}

void WsFreeAddrInfo(addrinfo* list) {
    ::freeaddrinfo(list);
}

// One host entry per thread, filled through getaddrinfo (thread-safe, unlike the old call).
hostent* WsGetHostByName(const char* name) {
    thread_local hostent entry;
    thread_local in_addr address;
    thread_local char* addresses[2];
    thread_local char* aliases[1];
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (name == nullptr || WsGetAddrInfo(name, nullptr, &hints, &found) != 0) {
        return nullptr;
    }
    address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    addresses[0] = reinterpret_cast<char*>(&address);
    addresses[1] = nullptr;
    aliases[0] = nullptr;
    entry.h_name = const_cast<char*>(name);
    entry.h_aliases = aliases;
    entry.h_addrtype = AF_INET;
    entry.h_length = sizeof address;
    entry.h_addr_list = addresses;
    return &entry;
}

int WsSetSockOpt(SOCKET s, int level, int name, const char* value, int length) {
    if (level != WS_SOL_SOCKET || (name != WS_SO_SNDTIMEO && name != WS_SO_RCVTIMEO) ||
        value == nullptr || length < 4) {
        return Fail(10042);  // option not supported here
    }
    uint32_t milliseconds;
    std::memcpy(&milliseconds, value, sizeof milliseconds);
    timeval limit{static_cast<time_t>(milliseconds / 1000),
                  static_cast<suseconds_t>(milliseconds % 1000 * 1000)};
    const int option = name == WS_SO_SNDTIMEO ? SO_SNDTIMEO : SO_RCVTIMEO;
    return ::setsockopt(Descriptor(s), SOL_SOCKET, option, &limit, sizeof limit) == 0
               ? 0
               : FailFromErrno();
}

int WsShutdown(SOCKET s, int how) {
    return ::shutdown(Descriptor(s), how) == 0 ? 0 : FailFromErrno();
}

int WsGetLastError() {
    return tLastError;
}

int WsStartup(uint16_t version, WSADATA* data) {
    if (data != nullptr) {
        std::memset(data, 0, sizeof *data);
        data->wVersion = version;
        data->wHighVersion = 0x0101;
        std::strcpy(data->szDescription, "BSD sockets");
        std::strcpy(data->szSystemStatus, "Running");
    }
    return 0;
}

int WsCleanup() {
    return 0;
}

struct Entry {
    const char* name;
    void* address;
};

const Entry kEntries[] = {
    {"closesocket", reinterpret_cast<void*>(&WsCloseSocket)},
    {"connect", reinterpret_cast<void*>(&WsConnect)},
    {"htons", reinterpret_cast<void*>(&WsHtons)},
    {"inet_addr", reinterpret_cast<void*>(&WsInetAddr)},
    {"inet_ntoa", reinterpret_cast<void*>(&WsInetNtoa)},
    {"recv", reinterpret_cast<void*>(&WsRecv)},
    {"send", reinterpret_cast<void*>(&WsSend)},
    {"socket", reinterpret_cast<void*>(&WsSocket)},
    {"gethostbyname", reinterpret_cast<void*>(&WsGetHostByName)},
    {"setsockopt", reinterpret_cast<void*>(&WsSetSockOpt)},
    {"WSAGetLastError", reinterpret_cast<void*>(&WsGetLastError)},
    {"WSAStartup", reinterpret_cast<void*>(&WsStartup)},
    {"WSACleanup", reinterpret_cast<void*>(&WsCleanup)},
    {"getaddrinfo", reinterpret_cast<void*>(&WsGetAddrInfo)},
    {"freeaddrinfo", reinterpret_cast<void*>(&WsFreeAddrInfo)},
    {"shutdown", reinterpret_cast<void*>(&WsShutdown)},
};

}  // namespace

int SocketErrorFromErrno(int error) {
    switch (error) {
        case EINTR:
            return 10004;
        case EBADF:
            return 10009;
        case EACCES:
            return 10013;
        case EFAULT:
            return 10014;
        case EINVAL:
            return 10022;
        case EMFILE:
        case ENFILE:
            return 10024;
        case EAGAIN:
            return 10035;
        case EINPROGRESS:
            return 10036;
        case EALREADY:
            return 10037;
        case ENOTSOCK:
            return 10038;
        case EMSGSIZE:
            return 10040;
        case EPROTOTYPE:
            return 10041;
        case EPROTONOSUPPORT:
            return 10043;
        case ESOCKTNOSUPPORT:
            return 10044;
        case EOPNOTSUPP:
            return 10045;
        case EAFNOSUPPORT:
            return 10047;
        case EADDRINUSE:
            return 10048;
        case EADDRNOTAVAIL:
            return 10049;
        case ENETDOWN:
            return 10050;
        case ENETUNREACH:
            return 10051;
        case ENETRESET:
            return 10052;
        case ECONNABORTED:
        case EPIPE:
            return 10053;
        case ECONNRESET:
            return 10054;
        case ENOBUFS:
        case ENOMEM:
            return 10055;
        case EISCONN:
            return 10056;
        case ENOTCONN:
            return 10057;
        case ESHUTDOWN:
            return 10058;
        case ETIMEDOUT:
            return 10060;
        case ECONNREFUSED:
            return 10061;
        case EHOSTUNREACH:
            return 10065;
        default:
            return 10050;
    }
}

}  // namespace wsock

void* FindSocketEntryPoint(const char* name) {
    for (const wsock::Entry& entry : wsock::kEntries) {
        if (std::strcmp(entry.name, name) == 0) {
            return entry.address;
        }
    }
    return nullptr;
}

}  // namespace inet
