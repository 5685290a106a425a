#include "inet/wininet/Handles.h"

#include <algorithm>
#include <cstring>

namespace wininet {

namespace {

// Splits a header block into its lines, without line ends and empty lines.
std::vector<std::string> HeaderLines(const char* headers, uint32_t length) {
    std::vector<std::string> lines;
    if (headers == nullptr) {
        return lines;
    }
    const std::string block(headers, length == 0xFFFFFFFFu ? std::strlen(headers) : length);
    std::size_t start = 0;
    while (start < block.size()) {
        std::size_t end = block.find('\n', start);
        if (end == std::string::npos) {
            end = block.size();
        }
        std::string line = block.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            lines.push_back(line);
        }
        start = end + 1;
    }
    return lines;
}

std::string BuildUrl(bool secure, const std::string& host, uint16_t port,
                     const std::string& object) {
    std::string url = secure ? "https://" : "http://";
    // An IPv6 literal goes in brackets, once ("::1" and "[::1]" name the same server).
    const bool bracket = host.find(':') != std::string::npos && host[0] != '[';
    url += bracket ? "[" + host + "]" : host;
    if (port == INTERNET_INVALID_PORT_NUMBER) {
        port = secure ? 443 : 80;
    }
    url += ":" + std::to_string(port);
    if (object.empty() || object[0] != '/') {
        url += '/';
    }
    return url + object;
}

}  // namespace

InetHandle::InetHandle(HandleKind kind, std::shared_ptr<InetHandle> parent, uintptr_t context)
    : kind_(kind), parent_(std::move(parent)), context_(context) {
    // A child starts with its parent's callback and time-outs.
    if (parent_ != nullptr) {
        callback_.store(parent_->Callback());
        connectTimeoutMs.store(parent_->connectTimeoutMs.load());
        sendTimeoutMs.store(parent_->sendTimeoutMs.load());
        receiveTimeoutMs.store(parent_->receiveTimeoutMs.load());
    }
}

void Request::Report(uint32_t status, void* info, uint32_t length) const {
    if (QuarInternetStatusCallback callback = this->Callback()) {
        callback(Value(), Context(), status, info, length);
    }
}

TransferSetup Request::Setup() const {
    const Connection& connection = OwningConnection();
    const Session& session = connection.OwningSession();
    const bool secure = (flags & INTERNET_FLAG_SECURE) != 0;
    TransferSetup setup;
    setup.url = BuildUrl(secure, connection.host, connection.port, object);
    setup.host = connection.host;
    setup.verb = verb;
    setup.http10 = http10;
    setup.followRedirects = (flags & INTERNET_FLAG_NO_AUTO_REDIRECT) == 0;
    setup.userAgent = session.agent;
    setup.referrer = referrer;
    setup.proxy = session.proxy;
    setup.serverUser = connection.user;
    setup.serverPassword = connection.password;
    if (!givenServerUser.empty()) {
        setup.serverUser = givenServerUser;
        setup.serverPassword = givenServerPassword;
    }
    if (!givenProxyUser.empty()) {
        setup.proxy.user = givenProxyUser;
        setup.proxy.password = givenProxyPassword;
    }
    setup.caFile = session.caFile;
    setup.connectTimeoutMs = connectTimeoutMs.load();
    setup.receiveTimeoutMs = receiveTimeoutMs.load();
    if (!accept.empty()) {
        setup.headerLines.push_back("Accept: " + accept);
    }
    setup.report = [this](uint32_t status, void* info, uint32_t length) {
        Report(status, info, length);
    };
    setup.cancelled = &Closed();
    return setup;
}

uint32_t Request::Start(const char* headers, uint32_t headersLength, const void* body,
                        uint32_t bodyLength, bool streamed) {
    std::optional<TransferSetup> again;
    if (streamed && transfer_ != nullptr) {
        again = transfer_->TakeRetry();
    }
    TransferSetup setup = again ? std::move(*again) : Setup();
    if (!again) {
        for (std::string& line : HeaderLines(headers, headersLength)) {
            setup.headerLines.push_back(std::move(line));
        }
    }
    setup.streamed = streamed;
    setup.body = {};
    setup.bodyLength = streamed || body != nullptr ? bodyLength : 0;
    if (!streamed && body != nullptr) {
        setup.body = std::string_view(static_cast<const char*>(body), bodyLength);
    }
    uint32_t error = ERROR_SUCCESS;
    std::unique_ptr<Transfer> fresh = Transfer::Create(std::move(setup), &error);
    std::unique_ptr<Transfer> previous;
    {
        std::lock_guard<std::mutex> lock(transferMutex_);
        previous = std::move(transfer_);
        transfer_ = std::move(fresh);
    }
    return error;
}

void Request::Close() {
    InetHandle::Close();
    std::lock_guard<std::mutex> lock(transferMutex_);
    if (transfer_ != nullptr) {
        transfer_->Wake();
    }
}

HandleTable& HandleTable::Instance() {
    static HandleTable table;
    return table;
}

void* HandleTable::Add(std::shared_ptr<InetHandle> handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    next_ += 4;
    void* value = reinterpret_cast<void*>(next_);
    handle->SetValue(value);
    handles_.emplace(next_, std::move(handle));
    return value;
}

std::shared_ptr<InetHandle> HandleTable::Find(void* value) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = handles_.find(reinterpret_cast<uintptr_t>(value));
    return found == handles_.end() ? nullptr : found->second;
}

bool HandleTable::Close(void* value) {
    std::vector<std::shared_ptr<InetHandle>> closing;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = handles_.find(reinterpret_cast<uintptr_t>(value));
        if (found == handles_.end()) {
            return false;
        }
        const InetHandle* target = found->second.get();
        for (auto it = handles_.begin(); it != handles_.end();) {
            bool below = false;
            for (const InetHandle* h = it->second.get(); h != nullptr && !below;
                 h = h->Parent().get()) {
                below = h == target;
            }
            if (below) {
                closing.push_back(std::move(it->second));
                it = handles_.erase(it);
            } else {
                ++it;
            }
        }
    }
    // Outside the table's lock: a wake-up must not wait for other callers. The handles are
    // freed when the last call inside them lets go.
    for (const std::shared_ptr<InetHandle>& handle : closing) {
        handle->Close();
    }
    return true;
}

}  // namespace wininet
