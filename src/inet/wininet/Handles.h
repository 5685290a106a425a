// The handles of the library: sessions, connections and requests, and the process's table that
// turns the opaque values callers hold into them.
#pragma once

#include <cstdint>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "inet/wininet/LastError.h"
#include "inet/wininet/ProxyConfig.h"
#include "inet/wininet/Transfer.h"
#include "inet/wininet/WinInetApi.h"

namespace wininet {

enum class HandleKind { Session, Connection, Request };

// Time-outs when nobody sets them, in milliseconds.
constexpr uint32_t kDefaultConnectTimeoutMs = 60000;
constexpr uint32_t kDefaultReceiveTimeoutMs = 30000;

class InetHandle {
  public:
    InetHandle(HandleKind kind, std::shared_ptr<InetHandle> parent, uintptr_t context);
    virtual ~InetHandle() = default;
    InetHandle(const InetHandle&) = delete;
    InetHandle& operator=(const InetHandle&) = delete;

    HandleKind Kind() const { return kind_; }
    const std::shared_ptr<InetHandle>& Parent() const { return parent_; }
    uintptr_t Context() const { return context_; }
    void* Value() const { return value_; }
    void SetValue(void* value) { value_ = value; }

    QuarInternetStatusCallback Callback() const { return callback_.load(); }
    QuarInternetStatusCallback ExchangeCallback(QuarInternetStatusCallback callback) {
        return callback_.exchange(callback);
    }

    // Marks the handle closed and wakes a call waiting in it. Any thread.
    virtual void Close() { closed_.store(true); }
    const std::atomic<bool>& Closed() const { return closed_; }

    std::atomic<uint32_t> connectTimeoutMs{kDefaultConnectTimeoutMs};
    std::atomic<uint32_t> sendTimeoutMs{kDefaultReceiveTimeoutMs};
    std::atomic<uint32_t> receiveTimeoutMs{kDefaultReceiveTimeoutMs};

  private:
    HandleKind kind_;
    std::shared_ptr<InetHandle> parent_;
    uintptr_t context_;
    void* value_ = nullptr;
    std::atomic<QuarInternetStatusCallback> callback_{nullptr};
    std::atomic<bool> closed_{false};
};

struct Session : InetHandle {
    Session() : InetHandle(HandleKind::Session, nullptr, 0) {}
    std::string agent;
    ProxyConfig proxy;
    std::string caFile;
};

struct Connection : InetHandle {
    Connection(std::shared_ptr<InetHandle> session, uintptr_t context)
        : InetHandle(HandleKind::Connection, std::move(session), context) {}
    const Session& OwningSession() const { return static_cast<const Session&>(*Parent()); }
    std::string host;
    uint16_t port = 0;
    std::string user;
    std::string password;
};

class Request : public InetHandle {
  public:
    Request(std::shared_ptr<InetHandle> connection, uintptr_t context)
        : InetHandle(HandleKind::Request, std::move(connection), context) {}
    const Connection& OwningConnection() const { return static_cast<const Connection&>(*Parent()); }

    std::string verb;
    std::string object;
    bool http10 = false;
    uint32_t flags = 0;
    std::string referrer;
    std::string accept;
    // Credentials the user gave in InternetErrorDlg, used from the next send on instead of the
    // connection's (server) or the session's (proxy); empty user: none given.
    std::string givenServerUser, givenServerPassword;
    std::string givenProxyUser, givenProxyPassword;

    // Starts a new exchange in place of the previous one: 0 or an error number. A `streamed`
    // body of `bodyLength` bytes is written later (`body` is ignored); one started again after
    // a redirect took it goes to the redirect's target.
    uint32_t Start(const char* headers, uint32_t headersLength, const void* body,
                   uint32_t bodyLength, bool streamed = false);
    // The exchange; null before the first Start. Only the thread inside the handle uses it.
    Transfer* CurrentTransfer() const { return transfer_.get(); }
    void Close() override;

  private:
    TransferSetup Setup() const;
    void Report(uint32_t status, void* info, uint32_t length) const;

    std::mutex transferMutex_;  // guards replacing the transfer against Close's wake-up
    std::unique_ptr<Transfer> transfer_;
};

// The handles alive in the process. Values are never reused, so a closed handle stays invalid.
class HandleTable {
  public:
    static HandleTable& Instance();

    void* Add(std::shared_ptr<InetHandle> handle);
    // The handle for `value`, or null when it is unknown or closed.
    std::shared_ptr<InetHandle> Find(void* value);
    // Removes the handle and its children from the table and closes them; false when unknown.
    bool Close(void* value);

  private:
    std::mutex mutex_;
    uintptr_t next_ = 0x10000;
    std::unordered_map<uintptr_t, std::shared_ptr<InetHandle>> handles_;
};

// The handle for `value` when it has `kind`, else null with the last error set (unknown:
// ERROR_INVALID_HANDLE; another kind: ERROR_INTERNET_INCORRECT_HANDLE_TYPE).
template <typename T>
std::shared_ptr<T> FindHandle(void* value, HandleKind kind) {
    std::shared_ptr<InetHandle> handle = HandleTable::Instance().Find(value);
    if (handle == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (handle->Kind() != kind) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        return nullptr;
    }
    return std::static_pointer_cast<T>(handle);
}

}  // namespace wininet
