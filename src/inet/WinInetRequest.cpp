// The exchange through the platform internet library: session, connection and request handles,
// the error dialog's answers, and the response read in the blocks the library has at hand.
#include <cstring>

#include <memory>
#include <mutex>
#include <new>

#include "QuarInet.h"
#include "inet/HeaderLimits.h"
#include "inet/InetHeap.h"
#include "inet/WinInetTable.h"

using namespace wininet;

// Abort runs on another thread than Send and Receive: the handles change only under the lock,
// and a handle opened after an Abort is closed at once instead of being kept.
struct QuarInetWinInetGuard {
    std::mutex lock;
    bool aborting = false;
};

namespace {

constexpr const char* kAgent = "QuarInet";
constexpr uint32_t kServiceHttp = INTERNET_SERVICE_HTTP;
constexpr uint32_t kRequestFlags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION;
constexpr uint32_t kErrorDialogFlags = FLAGS_ERROR_UI_FILTER_FOR_ERRORS |
                                       FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
                                       FLAGS_ERROR_UI_FLAGS_GENERATE_DATA;
// The room a received body may keep past its end.
constexpr size_t kBodySlack = 2u << 20;
// The largest step by which the body buffer grows beyond what a block needs.
constexpr uint64_t kBodyGrowthStep = 1048576;

// The body buffer's next capacity for `needed` bytes (body so far plus the block at hand) from
// `capacity`: twice what is needed, but never more than a step past the current capacity.
uint64_t GrownCapacity(uint64_t capacity, uint64_t needed, uint64_t available) {
    uint64_t grown = needed * 2 + 2;
    const uint64_t step = available + 1 > kBodyGrowthStep ? available + 1 : kBodyGrowthStep;
    if (step < grown - capacity) {
        grown = capacity + step;
    }
    return grown;
}

}  // namespace

QuarInetHttpRequestWinInetImpl::QuarInetHttpRequestWinInetImpl(QuarInetStatusCallback callback,
                                                               QuarInetWindow parent)
    : QuarInetHttpRequestWinInetImpl(callback, parent, &inet::ProcessWinInetTable()) {}

QuarInetHttpRequestWinInetImpl::QuarInetHttpRequestWinInetImpl(QuarInetStatusCallback callback,
                                                               QuarInetWindow parent,
                                                               const QuarInetWinInetTable* table)
    : QuarInetHttpRequest(callback, parent),
      SessionHandle(nullptr),
      ConnectHandle(nullptr),
      RequestHandle(nullptr),
      table_(table),
      guard_(new QuarInetWinInetGuard) {}

QuarInetHttpRequestWinInetImpl::~QuarInetHttpRequestWinInetImpl() {
    if (table_->Available()) {
        CloseHandles(true);
    }
    delete guard_;
}

void QuarInetHttpRequestWinInetImpl::BodyCapacityChanged(uint32_t) {}

void QuarInetHttpRequestWinInetImpl::CloseHandles(bool quiet) {
    void* handles[3];
    {
        std::lock_guard<std::mutex> hold(guard_->lock);
        handles[0] = RequestHandle;
        handles[1] = ConnectHandle;
        handles[2] = SessionHandle;
        RequestHandle = ConnectHandle = SessionHandle = nullptr;
    }
    if (quiet && handles[2] != nullptr) {
        table_->InternetSetStatusCallback(handles[2], nullptr);
    }
    // Closing waits for nothing: the library wakes a call blocked in the handle and frees
    // it once that call has left.
    for (void* handle : handles) {
        if (handle != nullptr) {
            table_->InternetCloseHandle(handle);
        }
    }
}

bool QuarInetHttpRequestWinInetImpl::Keep(void*& member, void* handle) {
    {
        std::lock_guard<std::mutex> hold(guard_->lock);
        if (!guard_->aborting) {
            member = handle;
            return true;
        }
    }
    table_->InternetCloseHandle(handle);
    return false;
}

bool QuarInetHttpRequestWinInetImpl::WasAborted() {
    std::lock_guard<std::mutex> hold(guard_->lock);
    return guard_->aborting;
}

bool QuarInetHttpRequestWinInetImpl::OpenHandles(void*& session, void*& request) {
    std::lock_guard<std::mutex> hold(guard_->lock);
    session = SessionHandle;
    request = RequestHandle;
    return request != nullptr;
}

void QuarInetHttpRequestWinInetImpl::Report(void* session, uint32_t status, uint32_t* count) {
    if (Callback != nullptr) {
        Callback(session, reinterpret_cast<uintptr_t>(this), status, count, sizeof *count);
    }
}

uint32_t QuarInetHttpRequestWinInetImpl::Send(const char* host, uint32_t port, const char* verb,
                                              const char* path, const char* headers,
                                              uint32_t headersLength, const char* body,
                                              uint32_t bodyLength) {
    {
        std::lock_guard<std::mutex> hold(guard_->lock);
        Aborted = 0;
        guard_->aborting = false;
    }
    if (const uint32_t stored = SetRequestParams(host, port, verb, path, headers, headersLength,
                                                 body, bodyLength, false)) {
        return stored;
    }
    if (!table_->Available()) {
        return QUARINET_ERROR_NO_TRANSPORT;
    }
    // A second exchange starts from fresh handles.
    CloseHandles(true);

    void* session =
        table_->InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (session == nullptr) {
        return table_->GetLastError();
    }
    if (!Keep(SessionHandle, session)) {
        return ERROR_INTERNET_OPERATION_CANCELLED;
    }
    if (table_->InternetSetOptionA != nullptr) {
        uint32_t connectTimeout = ConnectTimeout;
        uint32_t receiveTimeout = ReceiveTimeout;
        table_->InternetSetOptionA(session, INTERNET_OPTION_CONNECT_TIMEOUT, &connectTimeout,
                                   sizeof connectTimeout);
        table_->InternetSetOptionA(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveTimeout,
                                   sizeof receiveTimeout);
    }
    if (Callback != nullptr) {
        table_->InternetSetStatusCallback(session, Callback);
    }
    const uintptr_t context = reinterpret_cast<uintptr_t>(this);
    void* connection = table_->InternetConnectA(session, Host, static_cast<uint16_t>(Port), nullptr,
                                                nullptr, kServiceHttp, 0, context);
    if (connection == nullptr) {
        return table_->GetLastError();
    }
    if (!Keep(ConnectHandle, connection)) {
        return ERROR_INTERNET_OPERATION_CANCELLED;
    }
    void* request = table_->HttpOpenRequestA(connection, Verb, Path, "HTTP/1.0", nullptr, nullptr,
                                             kRequestFlags, context);
    if (request == nullptr) {
        return table_->GetLastError();
    }
    if (!Keep(RequestHandle, request)) {
        return ERROR_INTERNET_OPERATION_CANCELLED;
    }

    // A dialog that keeps asking for a retry (credentials refused again and again) gets a few
    // tries, then the last outcome stands.
    for (int retries = 0;; ++retries) {
        const uint32_t error =
            table_->HttpSendRequestA(request, Headers, HeadersLength, Body, BodyLength) != 0
                ? ERROR_SUCCESS
                : table_->GetLastError();
        // A request aborted meanwhile has its handles closed: its failure is the answer, and
        // no dialog is asked about it.
        if (error != ERROR_SUCCESS && WasAborted()) {
            return error;
        }
        const uint32_t answer =
            table_->InternetErrorDlg(ParentWindow, request, error, kErrorDialogFlags, nullptr);
        if (answer == ERROR_INVALID_HANDLE) {
            return QUARINET_ERROR_INVALID_HANDLE;
        }
        if (answer == ERROR_CANCELLED) {
            return QUARINET_ERROR_STATUS;
        }
        if (answer != ERROR_INTERNET_FORCE_RETRY || retries >= kMaxErrorDialogRetries) {
            return error;
        }
    }
}

uint32_t QuarInetHttpRequestWinInetImpl::Receive(char*& responseHeaders,
                                                 uint32_t& responseHeadersLength,
                                                 char*& responseBody,
                                                 uint32_t& responseBodyLength) {
    if (!table_->Available()) {
        return QUARINET_ERROR_NO_TRANSPORT;
    }
    void* session = nullptr;
    void* request = nullptr;
    if (!OpenHandles(session, request)) {
        return QUARINET_ERROR_NO_REQUEST;
    }

    uint32_t length = 0;
    responseHeadersLength = 0;
    if (table_->HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &length, nullptr) ==
        0) {
        const uint32_t error = table_->GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER) {
            return error;
        }
    }
    auto* headers = static_cast<char*>(inet::HeapAllocate(size_t(length) + 1));
    if (headers == nullptr) {
        return QUARINET_ERROR_NOT_ENOUGH_MEMORY;
    }
    headers[length] = '\0';
    responseHeaders = headers;
    uint32_t room = length + 1;
    if (table_->HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, headers, &room, nullptr) ==
        0) {
        return table_->GetLastError();
    }
    responseHeadersLength = room;

    responseBody = nullptr;
    responseBodyLength = 0;
    uint64_t capacity = 0;
    uint32_t read = 0;
    do {
        uint32_t available = 0;
        if (table_->InternetQueryDataAvailable(request, &available, 0, 0) == 0) {
            return table_->GetLastError();
        }
        const uint64_t needed = uint64_t(responseBodyLength) + available;
        if (capacity <= needed) {
            const uint64_t grown = GrownCapacity(capacity, needed, available);
            // A body's length travels as 32 bits: a larger one cannot be held.
            void* larger = grown > UINT32_MAX ? nullptr : inet::HeapReallocate(responseBody, grown);
            if (larger == nullptr) {
                return QUARINET_ERROR_NOT_ENOUGH_MEMORY;
            }
            responseBody = static_cast<char*>(larger);
            // Only the room already held is cleared: the new pages are written by the reads,
            // and touching them all here would cost a large body dearly.
            std::memset(responseBody + responseBodyLength, 0, capacity - responseBodyLength);
            capacity = grown;
            BodyCapacityChanged(static_cast<uint32_t>(capacity));
        }
        responseBody[needed] = '\0';
        read = 0;
        const int ok =
            table_->InternetReadFile(request, responseBody + responseBodyLength, available, &read);
        responseBodyLength += read;
        Report(session, QUARINET_STATUS_RECEIVING_RESPONSE, &responseBodyLength);
        if (ok == 0) {
            return table_->GetLastError();
        }
    } while (read != 0);
    // A large body keeps only a little room past its end: the room its last growth made goes
    // back now rather than with the body.
    if (responseBody != nullptr && inet::HeapRoom(responseBody) - responseBodyLength > kBodySlack) {
        if (void* fitted = inet::HeapReallocate(responseBody, size_t(responseBodyLength) + 1)) {
            responseBody = static_cast<char*>(fitted);
        }
    }
    Report(session, QUARINET_STATUS_RESPONSE_RECEIVED, &responseBodyLength);

    char version[inet::kStatusLineLimit];
    char reason[inet::kStatusLineLimit];
    uint32_t status = 0;
    if (!QuarInetGetHttpStatusCode(responseHeaders, version, status, reason,
                                   inet::kStatusLineLimit)) {
        return QUARINET_ERROR_STATUS;
    }
    if (status != 200) {
        return QUARINET_ERROR_STATUS;
    }
    UnpackContent(responseHeaders, responseHeadersLength, responseBody, responseBodyLength);
    return 0;
}

void QuarInetHttpRequestWinInetImpl::Abort(uint32_t /*reserved*/) {
    {
        std::lock_guard<std::mutex> hold(guard_->lock);
        Aborted = 1;
        guard_->aborting = true;
    }
    // The status callback stays registered until the session handle is closed.
    if (table_->Available()) {
        CloseHandles(false);
    }
}
