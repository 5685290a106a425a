#include "inet/SocketRequest.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <chrono>
#include <condition_variable>
#include <string>
#include <thread>

#include "inet/Base64.h"
#include "inet/HeaderLimits.h"
#include "inet/HeaderSearch.h"
#include "inet/InetHeap.h"
#include "inet/ResponseSink.h"
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
    uint32_t address = 0;
};

namespace {

constexpr int kAddressFamilyInternet = 2;
constexpr int kStreamSocket = 1;
constexpr int kTcp = 6;

void RunLookup(const SocketLibrary* library, std::string name,
               std::shared_ptr<PendingLookup> pending) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = library->getaddrinfo(name.c_str(), nullptr, &hints, &found);
    std::lock_guard<std::mutex> hold(pending->lock);
    if (rc == 0) {
        pending->address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
        library->freeaddrinfo(found);
    } else {
        pending->error = library->WSAGetLastError();
    }
    pending->done = true;
    pending->changed.notify_all();
}

}  // namespace
}  // namespace inet

using inet::wsock::INVALID_SOCKET;

QuarInetHttpRequestWinSockImpl::QuarInetHttpRequestWinSockImpl(const QuarInetOptions& options,
                                                               QuarInetStatusCallback callback,
                                                               QuarInetWindow parent)
    : QuarInetHttpRequestWinSockImpl(options, callback, parent, inet::SocketTable()) {}

QuarInetHttpRequestWinSockImpl::QuarInetHttpRequestWinSockImpl(const QuarInetOptions& options,
                                                               QuarInetStatusCallback callback,
                                                               QuarInetWindow parent,
                                                               const inet::SocketLibrary* library)
    : QuarInetHttpRequest(callback, parent),
      options_(options),
      SocketHandle(INVALID_SOCKET),
      library_(library),
      responseLimit_(inet::kDefaultResponseLimit) {}

QuarInetHttpRequestWinSockImpl::~QuarInetHttpRequestWinSockImpl() {
    CloseSocket();
}

void QuarInetHttpRequestWinSockImpl::Report(uint32_t status, void* info, uint32_t infoLength) {
    if (Callback != nullptr) {
        Callback(reinterpret_cast<void*>(SocketHandle), reinterpret_cast<uintptr_t>(this), status,
                 info, infoLength);
    }
}

uint32_t QuarInetHttpRequestWinSockImpl::LastError() const {
    return static_cast<uint32_t>(library_->WSAGetLastError());
}

uint32_t QuarInetHttpRequestWinSockImpl::FailureCode(uint32_t code) const {
    return abort_.load() ? QUARINET_ERROR_ABORTED : code;
}

void QuarInetHttpRequestWinSockImpl::CloseSocket() {
    std::lock_guard<std::mutex> hold(socketLock_);
    if (SocketHandle != INVALID_SOCKET && library_ != nullptr) {
        library_->closesocket(SocketHandle);
    }
    SocketHandle = INVALID_SOCKET;
}

void QuarInetHttpRequestWinSockImpl::CloseSocketReporting() {
    Report(QUARINET_STATUS_CLOSING_CONNECTION);
    CloseSocket();
    Report(QUARINET_STATUS_CONNECTION_CLOSED);
    Report(QUARINET_STATUS_HANDLE_CLOSING);
}

uint32_t QuarInetHttpRequestWinSockImpl::Resolve(const char* name, uint32_t& address) {
    auto pending = std::make_shared<inet::PendingLookup>();
    {
        std::lock_guard<std::mutex> hold(socketLock_);
        lookup_ = pending;
    }
    try {
        std::thread(inet::RunLookup, library_, std::string(name), pending).detach();
    } catch (const std::system_error&) {
        inet::RunLookup(library_, name, pending);
    }
    std::unique_lock<std::mutex> hold(pending->lock);
    const auto finished = [&] { return pending->done || pending->cancelled; };
    bool inTime = true;
    if (ConnectTimeout == 0) {
        pending->changed.wait(hold, finished);
    } else {
        inTime =
            pending->changed.wait_for(hold, std::chrono::milliseconds(ConnectTimeout), finished);
    }
    const bool done = pending->done;
    const int error = pending->error;
    address = pending->address;
    hold.unlock();
    {
        std::lock_guard<std::mutex> forget(socketLock_);
        lookup_.reset();
    }
    if (abort_.load()) {
        return QUARINET_ERROR_ABORTED;
    }
    if (!inTime || !done) {
        return QUARINET_ERROR_TIMED_OUT;
    }
    return static_cast<uint32_t>(error);
}

uint32_t QuarInetHttpRequestWinSockImpl::Connect(const char* target, uint32_t port,
                                                 char (&dotted)[64]) {
    const SOCKET s =
        library_->socket(inet::kAddressFamilyInternet, inet::kStreamSocket, inet::kTcp);
    if (s == INVALID_SOCKET) {
        return LastError();
    }
    {
        std::lock_guard<std::mutex> hold(socketLock_);
        SocketHandle = s;
    }
    Report(QUARINET_STATUS_HANDLE_CREATED);
    if (abort_.load()) {
        CloseSocket();
        return QUARINET_ERROR_ABORTED;
    }
    const uint32_t sendLimit = ConnectTimeout;
    const uint32_t receiveLimit = ReceiveTimeout;
    library_->setsockopt(s, inet::wsock::WS_SOL_SOCKET, inet::wsock::WS_SO_SNDTIMEO,
                         reinterpret_cast<const char*>(&sendLimit), sizeof sendLimit);
    library_->setsockopt(s, inet::wsock::WS_SOL_SOCKET, inet::wsock::WS_SO_RCVTIMEO,
                         reinterpret_cast<const char*>(&receiveLimit), sizeof receiveLimit);

    uint32_t address = library_->inet_addr(target);
    if (address == inet::wsock::INADDR_NONE_VALUE) {
        Report(QUARINET_STATUS_RESOLVING_NAME, const_cast<char*>(target),
               static_cast<uint32_t>(std::strlen(target)));
        if (const uint32_t rc = Resolve(target, address)) {
            // The socket is of no further use; it goes without the closing events.
            CloseSocket();
            return rc;
        }
    }
    in_addr in{};
    in.s_addr = address;
    std::snprintf(dotted, sizeof dotted, "%s", library_->inet_ntoa(in));
    const uint32_t dottedLength = static_cast<uint32_t>(std::strlen(dotted));
    Report(QUARINET_STATUS_NAME_RESOLVED, dotted, dottedLength);
    Report(QUARINET_STATUS_CONNECTING_TO_SERVER, dotted, dottedLength);

    sockaddr_in to{};
    to.sin_family = inet::kAddressFamilyInternet;
    to.sin_port = (library_->htons)(static_cast<uint16_t>(port));
    to.sin_addr = in;
    if (library_->connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        const uint32_t code = FailureCode(LastError());
        CloseSocketReporting();
        return code;
    }
    Report(QUARINET_STATUS_CONNECTED_TO_SERVER, dotted, dottedLength);
    return 0;
}

uint32_t QuarInetHttpRequestWinSockImpl::SendAll(const char* bytes, size_t size, uint32_t& sent) {
    while (size > 0) {
        const int piece = size > INT_MAX ? INT_MAX : static_cast<int>(size);
        const int n = library_->send(SocketHandle, bytes, piece, 0);
        if (n <= 0) {
            return FailureCode(n == 0 ? 10053 : LastError());
        }
        bytes += n;
        size -= static_cast<size_t>(n);
        // The count travels as 32 bits: a larger body is reported as 4 GiB.
        sent = sent > UINT32_MAX - static_cast<uint32_t>(n) ? UINT32_MAX
                                                            : sent + static_cast<uint32_t>(n);
    }
    return 0;
}

uint32_t QuarInetHttpRequestWinSockImpl::WriteRequest(uint32_t& sent) {
    std::string head;
    head.reserve(std::strlen(Verb) + std::strlen(Host) + std::strlen(Path) + HeadersLength + 256);
    head.append(Verb).append(" http://").append(Host).append(":").append(std::to_string(Port));
    head.append(Path).append(" HTTP/1.0\r\n");
    if (Headers != nullptr && HeadersLength > 0) {
        // The block ends with its last header line; its blank line is written below.
        if (const char* blank = inet::FindBytes(Headers, HeadersLength, "\r\n\r\n", 4)) {
            HeadersLength = static_cast<uint32_t>(blank - Headers + 2);
            Headers[HeadersLength] = '\0';
        }
        head.append(Headers, HeadersLength);
    }
    const uint64_t bodyLength = BodySource != nullptr ? BodySource->Length : BodyLength;
    const bool hasBody = bodyLength > 0 && (BodySource != nullptr || Body != nullptr);
    // Servers refuse a body without its length (HTTP/1.0 has no other way to delimit it), and
    // a POST or PUT without one even when its body is empty.
    const bool takesBody = std::strcmp(Verb, "POST") == 0 || std::strcmp(Verb, "PUT") == 0;
    if ((hasBody || takesBody) && inet::FindHeaderLine(Headers, "Content-Length:") == nullptr) {
        head.append("Content-Length: ").append(std::to_string(bodyLength)).append("\r\n");
    }
    // The proxy's credentials go to the proxy only, never to a server reached directly.
    if (options_.Proxy != 0 && options_.ProxyAuthorization != 0) {
        const std::string credentials = std::string(options_.ProxyLog) + ":" + options_.ProxyPwd;
        head.append("Proxy-Authorization: Basic ")
            .append(inet::Base64Encode(credentials.data(), credentials.size()))
            .append("\r\n");
    }
    head.append("\r\n");
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
    if (!followingRedirect_) {
        redirects_ = 0;
    }
    if (const uint32_t rc = SetRequestParams(host, port, verb, path, headers, headersLength, body,
                                             bodyLength, false)) {
        return rc;
    }
    if (library_ == nullptr) {
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
    if (abort_.load()) {
        return QUARINET_ERROR_ABORTED;
    }
    char dotted[64];
    if (const uint32_t rc = Connect(target, targetPort, dotted)) {
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
    if (library_ == nullptr) {
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
    context.redirects = redirects_;
    context.head = std::strcmp(Verb, "HEAD") == 0;
    inet::ResponseSink sink(inet::kReceiveGrowth, responseLimit_, BodySink, context);
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
        last = library_->recv(SocketHandle, sink.Room(), room > INT_MAX ? INT_MAX : int(room), 0);
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
            if (capacityObserver_) {
                capacityObserver_(sink.Capacity());
            }
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
    if (abort_.load()) {
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
        return FollowRedirect(sink.Verdict().target, responseHeaders, responseHeadersLength,
                              responseBody, responseBodyLength);
    }
    return sink.Finish(provisional, responseHeaders, responseHeadersLength, responseBody,
                       responseBodyLength);
}

uint32_t QuarInetHttpRequestWinSockImpl::FollowRedirect(const inet::HttpTarget& target,
                                                        char*& headers, uint32_t& headersLength,
                                                        char*& body, uint32_t& bodyLength) {
    ++redirects_;
    std::string url = "http://" + target.host;
    if (target.port != 80) {
        url += ":" + std::to_string(target.port);
    }
    url += target.path;
    Report(QUARINET_STATUS_REDIRECT, url.data(), 0);
    if (BodySource != nullptr) {
        if (const uint32_t rc = BodySource->Rewind(BodySource->Context)) {
            return rc;
        }
    }

    followingRedirect_ = true;
    const uint32_t rc = Send(target.host.c_str(), target.port, Verb, target.path.c_str(), Headers,
                             HeadersLength, Body, BodyLength);
    followingRedirect_ = false;
    return rc != 0 ? rc : Receive(headers, headersLength, body, bodyLength);
}

void QuarInetHttpRequestWinSockImpl::Abort(uint32_t /*reserved*/) {
    Aborted = 1;
    abort_.store(true);
    std::lock_guard<std::mutex> hold(socketLock_);
    if (library_ != nullptr && SocketHandle != INVALID_SOCKET) {
        library_->shutdown(SocketHandle, inet::wsock::SD_BOTH);
    }
    if (lookup_ != nullptr) {
        std::lock_guard<std::mutex> wake(lookup_->lock);
        lookup_->cancelled = true;
        lookup_->changed.notify_all();
    }
}
