#include "inet/SocketRequest.h"

#include <arpa/inet.h>
#include <strings.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "inet/Base64.h"
#include "inet/HeaderLimits.h"
#include "inet/HeaderSearch.h"
#include "inet/InetHeap.h"
#include "inet/RedirectTarget.h"
#include "inet/RequestHead.h"
#include "inet/ResponseSink.h"
#include "inet/SocketAdapter.h"
#include "inet/SocketLibrary.h"

namespace inet {

// A name lookup that runs on a helper thread, so that Abort and the connect time-out can end the
// wait for it; the helper finishes on its own and drops its result when nobody waits.
struct PendingLookup {
    std::mutex lock;
    std::condition_variable changed;
    bool done = false;
    bool cancelled = false;
    int error = 0;
    std::vector<Address> addresses;
};

namespace {

constexpr int kStreamSocket = 1;
constexpr int kTcp = 6;

void RunLookup(const SocketLibrary* library, std::string name,
               std::shared_ptr<PendingLookup> pending) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = library->getaddrinfo(name.c_str(), nullptr, &hints, &found);
    std::vector<Address> addresses;
    int error = 0;
    if (rc == 0) {
        for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
            if ((a->ai_family == AF_INET || a->ai_family == AF_INET6) &&
                a->ai_addrlen <= sizeof(sockaddr_storage)) {
                Address address;
                std::memcpy(&address.storage, a->ai_addr, a->ai_addrlen);
                address.length = static_cast<int>(a->ai_addrlen);
                addresses.push_back(address);
            }
        }
        library->freeaddrinfo(found);
        if (addresses.empty()) {
            error = 11001;
        }
    } else {
        error = library->WSAGetLastError();
    }
    std::lock_guard<std::mutex> hold(pending->lock);
    pending->addresses = std::move(addresses);
    pending->error = error;
    pending->done = true;
    pending->changed.notify_all();
}

// The address of a numeric host (dotted IPv4 or IPv6, with or without brackets), if it is one.
bool NumericAddress(const std::string& host, Address& address) {
    std::memset(&address.storage, 0, sizeof address.storage);
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address.storage);
    if (inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        address.length = sizeof(sockaddr_in);
        return true;
    }
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&address.storage);
    if (inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        address.length = sizeof(sockaddr_in6);
        return true;
    }
    return false;
}

// The address as text ("127.0.0.1", "::1") for the status events.
std::string AddressText(const Address& address) {
    char text[INET6_ADDRSTRLEN] = "";
    if (address.storage.ss_family == AF_INET6) {
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&address.storage)->sin6_addr,
                  text, sizeof text);
    } else {
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&address.storage)->sin_addr, text,
                  sizeof text);
    }
    return text;
}

void SetPort(Address& address, uint16_t networkPort) {
    if (address.storage.ss_family == AF_INET6) {
        reinterpret_cast<sockaddr_in6*>(&address.storage)->sin6_port = networkPort;
    } else {
        reinterpret_cast<sockaddr_in*>(&address.storage)->sin_port = networkPort;
    }
}

// A host without the brackets of an IPv6 literal.
std::string BareHost(const char* host) {
    std::string bare = host;
    if (bare.size() > 2 && bare.front() == '[' && bare.back() == ']') {
        bare = bare.substr(1, bare.size() - 2);
    }
    return bare;
}

bool SameOrigin(const char* hostA, uint32_t portA, const std::string& hostB, uint32_t portB) {
    return portA == portB && strcasecmp(BareHost(hostA).c_str(), hostB.c_str()) == 0;
}

}  // namespace
}  // namespace inet

using inet::wsock::INVALID_SOCKET;

QuarInetHttpRequestWinSockImpl::QuarInetHttpRequestWinSockImpl(const QuarInetOptions& options,
                                                               QuarInetStatusCallback callback,
                                                               QuarInetWindow parent)
    : QuarInetHttpRequest(callback, parent),
      options_(options),
      SocketHandle(INVALID_SOCKET),
      state_(new QuarInetWinSockState) {
    state_->library = inet::SocketTable();
}

QuarInetHttpRequestWinSockImpl::~QuarInetHttpRequestWinSockImpl() {
    CloseSocket();
    delete state_;
}

void QuarInetHttpRequestWinSockImpl::Report(uint32_t status, void* info, uint32_t infoLength) {
    if (Callback != nullptr) {
        Callback(reinterpret_cast<void*>(SocketHandle), reinterpret_cast<uintptr_t>(this), status,
                 info, infoLength);
    }
}

uint32_t QuarInetHttpRequestWinSockImpl::LastError() const {
    return static_cast<uint32_t>(state_->library->WSAGetLastError());
}

uint32_t QuarInetHttpRequestWinSockImpl::FailureCode(uint32_t code) const {
    return state_->abort.load() ? QUARINET_ERROR_ABORTED : code;
}

void QuarInetHttpRequestWinSockImpl::CloseSocket() {
    std::lock_guard<std::mutex> hold(state_->socketLock);
    if (SocketHandle != INVALID_SOCKET && state_->library != nullptr) {
        state_->library->closesocket(SocketHandle);
    }
    SocketHandle = INVALID_SOCKET;
}

void QuarInetHttpRequestWinSockImpl::CloseSocketReporting() {
    Report(QUARINET_STATUS_CLOSING_CONNECTION);
    CloseSocket();
    Report(QUARINET_STATUS_CONNECTION_CLOSED);
    Report(QUARINET_STATUS_HANDLE_CLOSING);
}

uint32_t QuarInetWinSockState::Resolve(const char* name, uint32_t timeoutMs,
                                       std::vector<inet::Address>& addresses) {
    auto pending = std::make_shared<inet::PendingLookup>();
    {
        // An Abort that came before the lookup was registered found nothing to cancel: its flag,
        // set before it takes the lock, is seen here instead.
        std::lock_guard<std::mutex> hold(socketLock);
        if (abort.load()) {
            return QUARINET_ERROR_ABORTED;
        }
        lookup = pending;
    }
    try {
        std::thread(inet::RunLookup, library, std::string(name), pending).detach();
    } catch (const std::system_error&) {
        inet::RunLookup(library, name, pending);
    }
    std::unique_lock<std::mutex> hold(pending->lock);
    const auto finished = [&] { return pending->done || pending->cancelled; };
    bool inTime = true;
    if (timeoutMs == 0) {
        pending->changed.wait(hold, finished);
    } else {
        inTime = pending->changed.wait_for(hold, std::chrono::milliseconds(timeoutMs), finished);
    }
    const bool done = pending->done;
    const int error = pending->error;
    addresses = pending->addresses;
    hold.unlock();
    {
        std::lock_guard<std::mutex> forget(socketLock);
        lookup.reset();
    }
    if (abort.load()) {
        return QUARINET_ERROR_ABORTED;
    }
    if (!inTime || !done) {
        return QUARINET_ERROR_TIMED_OUT;
    }
    return static_cast<uint32_t>(error);
}

uint32_t QuarInetHttpRequestWinSockImpl::OpenSocket(int family) {
    const inet::wsock::SOCKET s = state_->library->socket(family, inet::kStreamSocket, inet::kTcp);
    if (s == INVALID_SOCKET) {
        return LastError();
    }
    {
        std::lock_guard<std::mutex> hold(state_->socketLock);
        if (SocketHandle != INVALID_SOCKET) {
            state_->library->closesocket(SocketHandle);
        }
        SocketHandle = s;
    }
    const uint32_t sendLimit = ConnectTimeout;
    const uint32_t receiveLimit = ReceiveTimeout;
    state_->library->setsockopt(s, inet::wsock::WS_SOL_SOCKET, inet::wsock::WS_SO_SNDTIMEO,
                                reinterpret_cast<const char*>(&sendLimit), sizeof sendLimit);
    state_->library->setsockopt(s, inet::wsock::WS_SOL_SOCKET, inet::wsock::WS_SO_RCVTIMEO,
                                reinterpret_cast<const char*>(&receiveLimit), sizeof receiveLimit);
    return 0;
}

uint32_t QuarInetHttpRequestWinSockImpl::Connect(const char* target, uint32_t port) {
    const std::string host = inet::BareHost(target);
    std::vector<inet::Address> addresses(1);
    const bool numeric = inet::NumericAddress(host, addresses[0]);
    // The first socket is made before the lookup, for the events that carry it; it is remade
    // when the address found is of the other family, and for each further address tried.
    const int firstFamily = numeric ? addresses[0].storage.ss_family : AF_INET;
    if (const uint32_t rc = OpenSocket(firstFamily)) {
        return rc;
    }
    Report(QUARINET_STATUS_HANDLE_CREATED);
    if (state_->abort.load()) {
        CloseSocket();
        return QUARINET_ERROR_ABORTED;
    }
    if (!numeric) {
        Report(QUARINET_STATUS_RESOLVING_NAME, const_cast<char*>(target),
               static_cast<uint32_t>(std::strlen(target)));
        if (const uint32_t rc = state_->Resolve(host.c_str(), ConnectTimeout, addresses)) {
            // The socket is of no further use; it goes without the closing events.
            CloseSocket();
            return rc;
        }
    }
    std::string text = inet::AddressText(addresses[0]);
    Report(QUARINET_STATUS_NAME_RESOLVED, text.data(), static_cast<uint32_t>(text.size()));
    uint32_t code = 0;
    int family = firstFamily;
    for (size_t i = 0; i < addresses.size(); ++i) {
        inet::Address& address = addresses[i];
        if (i > 0 || address.storage.ss_family != family) {
            family = address.storage.ss_family;
            if (const uint32_t rc = OpenSocket(family)) {
                code = rc;
                continue;
            }
            // An Abort between two addresses shut down the socket before this one.
            if (state_->abort.load()) {
                code = QUARINET_ERROR_ABORTED;
                break;
            }
        }
        text = inet::AddressText(address);
        Report(QUARINET_STATUS_CONNECTING_TO_SERVER, text.data(),
               static_cast<uint32_t>(text.size()));
        inet::SetPort(address, (state_->library->htons)(static_cast<uint16_t>(port)));
        if (state_->library->connect(SocketHandle,
                                     reinterpret_cast<const sockaddr*>(&address.storage),
                                     address.length) == 0) {
            Report(QUARINET_STATUS_CONNECTED_TO_SERVER, text.data(),
                   static_cast<uint32_t>(text.size()));
            return 0;
        }
        code = FailureCode(LastError());
        if (state_->abort.load()) {
            break;
        }
    }
    CloseSocketReporting();
    return code;
}

uint32_t QuarInetHttpRequestWinSockImpl::SendAll(const char* bytes, uint64_t size, uint32_t& sent) {
    while (size > 0) {
        const int piece = size > INT_MAX ? INT_MAX : static_cast<int>(size);
        const int n = state_->library->send(SocketHandle, bytes, piece, 0);
        if (n <= 0) {
            return FailureCode(n == 0 ? 10053 : LastError());
        }
        bytes += n;
        size -= static_cast<uint64_t>(n);
        // The count travels as 32 bits: a larger body is reported as 4 GiB.
        sent = sent > UINT32_MAX - static_cast<uint32_t>(n) ? UINT32_MAX
                                                            : sent + static_cast<uint32_t>(n);
    }
    return 0;
}

uint32_t QuarInetHttpRequestWinSockImpl::WriteRequest(uint32_t& sent) {
    const uint64_t bodyLength = BodySource != nullptr ? BodySource->Length : BodyLength;
    const bool hasBody = bodyLength > 0 && (BodySource != nullptr || Body != nullptr);
    inet::RequestHeadParts parts;
    parts.verb = Verb;
    parts.host = Host;
    parts.port = Port;
    parts.path = Path;
    parts.headers = Headers;
    parts.headersLength = Headers != nullptr ? HeadersLength : 0;
    parts.bodyLength = hasBody ? bodyLength : 0;
    parts.viaProxy = options_.Proxy != 0;
    // The proxy's credentials go to the proxy only, never to a server reached directly.
    if (options_.Proxy != 0 && options_.ProxyAuthorization != 0) {
        const std::string credentials = std::string(options_.ProxyLog) + ":" + options_.ProxyPwd;
        parts.proxyCredentials = "Proxy-Authorization: Basic " +
                                 inet::Base64Encode(credentials.data(), credentials.size()) +
                                 "\r\n";
    }
    std::string head = inet::BuildRequestHead(parts);
    if (BodySource != nullptr) {
        if (const uint32_t rc = SendAll(head.data(), head.size(), sent)) {
            return rc;
        }
        return SendFromSource(sent);
    }
    if (hasBody && BodyLength <= inet::kInlineBodyLimit) {
        head.append(Body, BodyLength);
        return SendAll(head.data(), head.size(), sent);
    }
    if (const uint32_t rc = SendAll(head.data(), head.size(), sent)) {
        return rc;
    }
    return hasBody ? SendAll(Body, BodyLength, sent) : 0;
}

uint32_t QuarInetHttpRequestWinSockImpl::SendFromSource(uint32_t& sent) {
    // Each piece goes out from where the source keeps it.
    for (uint64_t left = BodySource->Length; left > 0;) {
        const char* bytes = nullptr;
        uint32_t length = 0;
        if (const uint32_t rc = BodySource->Next(BodySource->Context, &bytes, &length)) {
            return rc;
        }
        if (length == 0 || bytes == nullptr) {
            return QUARINET_ERROR_INVALID_PARAMETER;
        }
        const size_t piece = length < left ? length : static_cast<size_t>(left);
        if (const uint32_t rc = SendAll(bytes, piece, sent)) {
            return rc;
        }
        left -= piece;
    }
    return 0;
}

uint32_t QuarInetHttpRequestWinSockImpl::Send(const char* host, uint32_t port, const char* verb,
                                              const char* path, const char* headers,
                                              uint32_t headersLength, const char* body,
                                              uint32_t bodyLength) {
    if (!state_->followingRedirect) {
        state_->redirects = 0;
    }
    if (const uint32_t rc = SetRequestParams(host, port, verb, path, headers, headersLength, body,
                                             bodyLength, false)) {
        return rc;
    }
    if (state_->library == nullptr) {
        return QUARINET_ERROR_NO_TRANSPORT;
    }
    // A socket left from an earlier exchange that did not end is closed first.
    CloseSocket();
    const bool viaProxy = options_.Proxy != 0;
    const char* target = viaProxy ? options_.ProxyAddress : Host;
    const uint32_t targetPort = viaProxy ? options_.ProxyPort : Port;
    if (Port == 0 || Port > 65535 || targetPort == 0 || targetPort > 65535) {
        return QUARINET_ERROR_INVALID_PARAMETER;
    }
    if (state_->abort.load()) {
        return QUARINET_ERROR_ABORTED;
    }
    if (const uint32_t rc = Connect(target, targetPort)) {
        return rc;
    }
    Report(QUARINET_STATUS_SENDING_REQUEST);
    uint32_t sent = 0;
    uint32_t rc;
    try {
        rc = WriteRequest(sent);
    } catch (const std::bad_alloc&) {
        CloseSocket();
        return QUARINET_ERROR_INVALID_HANDLE;
    }
    if (rc != 0) {
        CloseSocketReporting();
        return rc;
    }
    Report(QUARINET_STATUS_REQUEST_SENT, &sent, sizeof sent);
    return 0;
}

uint32_t QuarInetHttpRequestWinSockImpl::Receive(char*& responseHeaders,
                                                 uint32_t& responseHeadersLength,
                                                 char*& responseBody,
                                                 uint32_t& responseBodyLength) {
    if (state_->library == nullptr) {
        return QUARINET_ERROR_NO_TRANSPORT;
    }
    if (SocketHandle == INVALID_SOCKET) {
        return QUARINET_ERROR_NOT_CONNECTED;
    }
    Report(QUARINET_STATUS_RECEIVING_RESPONSE);
    responseHeaders = nullptr;
    responseHeadersLength = 0;
    responseBody = nullptr;
    responseBodyLength = 0;

    inet::ResponseContext context;
    context.request = inet::HttpTarget{Host, Port, Path};
    context.redirects = state_->redirects;
    context.head = std::strcmp(Verb, "HEAD") == 0;
    inet::ResponseSink sink(inet::kReceiveGrowth, state_->responseLimit, BodySink, context);
    if (!sink.Start()) {
        CloseSocket();
        return QUARINET_ERROR_NOT_ENOUGH_MEMORY;
    }
    // Every read goes straight into the sink's room; the header block is taken out as soon as
    // its blank line has arrived, and the body then grows there or goes on to the caller.
    uint64_t total = 0;
    int last;
    uint32_t lastError = 0;
    for (;;) {
        const size_t room = sink.RoomSize();
        last = state_->library->recv(SocketHandle, sink.Room(),
                                     room > INT_MAX ? INT_MAX : int(room), 0);
        if (last <= 0) {
            lastError = last < 0 ? LastError() : 0;
            break;
        }
        total += static_cast<size_t>(last);
        uint32_t rc = sink.Commit(static_cast<size_t>(last));
        if (rc == 0 && !sink.Prepare(1)) {
            rc = QUARINET_ERROR_NOT_ENOUGH_MEMORY;
        }
        if (rc == 0) {
            uint32_t count = total > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(total);
            Report(QUARINET_STATUS_RECEIVING_RESPONSE, &count, sizeof count);
        }
        if (rc != 0) {
            CloseSocket();
            // A caller's sink that stopped the body still gets the header block.
            if (BodySink != nullptr && sink.HeadersDone()) {
                sink.HandOver(responseHeaders, responseHeadersLength, responseBody,
                              responseBodyLength);
            }
            return rc;
        }
    }
    if (state_->abort.load()) {
        CloseSocketReporting();
        return QUARINET_ERROR_ABORTED;
    }
    if (!sink.HeadersDone()) {
        // A receive that failed (a time-out, a reset) says more than the missing blank line.
        CloseSocket();
        return last < 0 ? lastError : QUARINET_ERROR_NO_HEADER_END;
    }
    uint32_t count = total > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(total);
    Report(QUARINET_STATUS_RESPONSE_RECEIVED, &count, sizeof count);
    const uint32_t provisional = last == 0 ? 0 : lastError;
    CloseSocketReporting();
    if (sink.Verdict().follow) {
        const inet::HttpTarget& target = sink.Verdict().target;
        return FollowRedirect(target.host.c_str(), target.port, target.path.c_str(),
                              responseHeaders, responseHeadersLength, responseBody,
                              responseBodyLength);
    }
    return sink.Finish(provisional, responseHeaders, responseHeadersLength, responseBody,
                       responseBodyLength);
}

uint32_t QuarInetHttpRequestWinSockImpl::FollowRedirect(const char* host, uint32_t port,
                                                        const char* path, char*& headers,
                                                        uint32_t& headersLength, char*& body,
                                                        uint32_t& bodyLength) {
    ++state_->redirects;
    std::string url = "http://" + inet::HostAndPort(host, port) + path;
    Report(QUARINET_STATUS_REDIRECT, url.data(), 0);
    if (BodySource != nullptr) {
        if (const uint32_t rc = BodySource->Rewind(BodySource->Context)) {
            return rc;
        }
    }

    // The caller's credentials are for the origin asked: a move to another host or port leaves
    // them behind (and the caller's Host line, which named the old one).
    std::string headerLines(Headers != nullptr ? Headers : "",
                            Headers != nullptr ? HeadersLength : 0);
    if (!inet::SameOrigin(Host, Port, host, port)) {
        headerLines = inet::WithoutCredentials(inet::WholeHeaderLines(Headers, headerLines.size()));
    }
    state_->followingRedirect = true;
    const uint32_t rc = Send(host, port, Verb, path, headerLines.c_str(),
                             static_cast<uint32_t>(headerLines.size()), Body, BodyLength);
    state_->followingRedirect = false;
    return rc != 0 ? rc : Receive(headers, headersLength, body, bodyLength);
}

void QuarInetHttpRequestWinSockImpl::Abort(uint32_t /*reserved*/) {
    Aborted = 1;
    state_->abort.store(true);
    std::lock_guard<std::mutex> hold(state_->socketLock);
    if (state_->library != nullptr && SocketHandle != INVALID_SOCKET) {
        state_->library->shutdown(SocketHandle, inet::wsock::SD_BOTH);
    }
    if (state_->lookup != nullptr) {
        std::lock_guard<std::mutex> wake(state_->lookup->lock);
        state_->lookup->cancelled = true;
        state_->lookup->changed.notify_all();
    }
}
