// The library's own HTTP/1.0 client over sockets: connects to the server (IPv4 or IPv6, each of
// its addresses in turn) or to the configured proxy, writes the request (origin form with a Host
// line to a server, absolute form to a proxy), reads the response until the server closes,
// follows redirects and decodes gzip bodies, reporting progress through the status callback.
#pragma once

#include <cstddef>
#include <cstdint>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <sys/socket.h>

#include "QuarInet.h"
#include "inet/RedirectTarget.h"
#include "inet/SocketAdapter.h"

namespace inet {

struct SocketLibrary;
struct PendingLookup;

// One address of a server, IPv4 or IPv6, as connect takes it.
struct Address {
    sockaddr_storage storage{};
    int length = 0;
};

// A response's bytes are counted in 32 bits: a whole body never grows beyond this.
constexpr size_t kDefaultResponseLimit = UINT32_MAX;

// A body up to this size travels in the same send as the request head (one segment, no wait
// for the peer's acknowledgement between head and body).
constexpr size_t kInlineBodyLimit = 65536;

}  // namespace inet

class QuarInetHttpRequestWinSockImpl : public QuarInetHttpRequest {
  public:
    // Takes a copy of the proxy settings of `options`; later changes do not reach the request.
    QuarInetHttpRequestWinSockImpl(const QuarInetOptions& options, QuarInetStatusCallback callback,
                                   QuarInetWindow parent);
    // The same over a socket table of the caller's (tests: a name lookup that never ends).
    QuarInetHttpRequestWinSockImpl(const QuarInetOptions& options, QuarInetStatusCallback callback,
                                   QuarInetWindow parent, const inet::SocketLibrary* library);
    ~QuarInetHttpRequestWinSockImpl() override;

    uint32_t Send(const char* host, uint32_t port, const char* verb, const char* path,
                  const char* headers, uint32_t headersLength, const char* body,
                  uint32_t bodyLength) override;
    uint32_t Receive(char*& responseHeaders, uint32_t& responseHeadersLength, char*& responseBody,
                     uint32_t& responseBodyLength) override;
    void Abort(uint32_t reserved) override;

    // For tests: the largest response a Receive holds (bytes, NUL included).
    void SetResponseLimit(size_t bytes) { responseLimit_ = bytes; }

  private:
    using SOCKET = inet::wsock::SOCKET;

    void Report(uint32_t status, void* info = nullptr, uint32_t infoLength = 0);
    uint32_t LastError() const;
    // The result of a failed call: QUARINET_ERROR_ABORTED after an abort, else `code`.
    uint32_t FailureCode(uint32_t code) const;
    // Closes the socket as the owner; only under the lock, so Abort never sees a stale one.
    void CloseSocket();
    // Closes the socket with the events 50, 51 and 70.
    void CloseSocketReporting();
    uint32_t Resolve(const char* name, std::vector<inet::Address>& addresses);
    // A fresh socket of `family` in place of the one held, with the time-outs set.
    uint32_t OpenSocket(int family);
    uint32_t Connect(const char* target, uint32_t port);
    uint32_t WriteRequest(uint32_t& sent);
    uint32_t SendAll(const char* bytes, size_t size, uint32_t& sent);
    // The body from BodySource, piece by piece.
    uint32_t SendFromSource(uint32_t& sent);
    // Sends the request again to `target` and receives its response instead.
    uint32_t FollowRedirect(const inet::HttpTarget& target, char*& headers, uint32_t& headersLength,
                            char*& body, uint32_t& bodyLength);

    QuarInetOptions options_;
    SOCKET SocketHandle;
    const inet::SocketLibrary* library_;
    std::mutex socketLock_;  // guards SocketHandle's closing against Abort, and lookup_
    std::atomic<bool> abort_{false};
    std::shared_ptr<inet::PendingLookup> lookup_;
    unsigned redirects_ = 0;
    bool followingRedirect_ = false;
    size_t responseLimit_;
};
