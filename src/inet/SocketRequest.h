// The inside of a socket request that its public class keeps opaque: the socket table it calls,
// the lock and flag that Abort shares with the worker, the pending name lookup, the redirect
// count, and the receive buffer's bounds. Tests reach the table and the bounds through Of().
#pragma once

#include <cstddef>
#include <cstdint>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include <sys/socket.h>

#include "QuarInet.h"

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

struct QuarInetWinSockState {
    // The process's table (null when the socket library is missing) unless a test set another
    // before Send.
    const inet::SocketLibrary* library = nullptr;
    std::mutex socketLock;  // guards the socket's closing against Abort, and lookup
    std::atomic<bool> abort{false};
    std::shared_ptr<inet::PendingLookup> lookup;
    unsigned redirects = 0;
    bool followingRedirect = false;
    // The largest response a Receive holds (bytes, NUL included).
    size_t responseLimit = inet::kDefaultResponseLimit;

    // Looks `name` up on a helper thread that Abort and `timeoutMs` (0: none) can stop waiting
    // for. 0 with the addresses found, or the code of the failure.
    uint32_t Resolve(const char* name, uint32_t timeoutMs, std::vector<inet::Address>& addresses);

    static QuarInetWinSockState& Of(QuarInetHttpRequestWinSockImpl& request) {
        return *request.state_;
    }
};
