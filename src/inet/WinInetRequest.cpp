// The exchange through the platform internet library: session, connection and request handles,
// the error dialog's answers, and the response read in the blocks the library has at hand.
#include <algorithm>
#include <cstring>

#include <memory>
#include <mutex>
#include <new>

#include "QuarInet.h"
#include "inet/HeaderLimits.h"
#include "inet/InetHeap.h"
#include "inet/ResponseSink.h"
#include "inet/WinInetState.h"
#include "inet/WinInetTable.h"

using namespace wininet;

namespace {

constexpr const char* kAgent = "QuarInet";
constexpr uint32_t kServiceHttp = INTERNET_SERVICE_HTTP;
constexpr uint32_t kRequestFlags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION;
constexpr uint32_t kErrorDialogFlags = FLAGS_ERROR_UI_FILTER_FOR_ERRORS |
                                       FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
                                       FLAGS_ERROR_UI_FLAGS_GENERATE_DATA;
// Sends the request with the body of `source` piece by piece, each from where the source keeps
// it: 0 or the library's error. A code of the source itself lands in `stop` (and 0 is answered).
// A redirect that wants the body again gets it again from the source's first byte; `again`
// rewinds the source before the first send too.
uint32_t SendFromSource(const QuarInetWinInetTable& table, void* request, const char* headers,
                        uint32_t headersLength, const QuarInetBodySource& source, bool again,
                        uint32_t& stop) {
    // The library announces a body's length in 32 bits.
    if (source.Length > UINT32_MAX - 1) {
        stop = QUARINET_ERROR_NOT_ENOUGH_MEMORY;
        return 0;
    }
    const uint32_t length = static_cast<uint32_t>(source.Length);
    for (;; again = true) {
        if (again && (stop = source.Rewind(source.Context)) != 0) {
            return 0;
        }
        QuarInternetBuffersA buffers{};
        buffers.structSize = sizeof buffers;
        buffers.header = headers;
        buffers.headersLength = headersLength;
        buffers.bufferTotal = length;
        if (table.HttpSendRequestExA(request, &buffers, nullptr, 0, 0) == 0) {
            return table.GetLastError();
        }
        for (uint32_t sent = 0; sent < length;) {
            const char* bytes = nullptr;
            uint32_t piece = 0;
            if ((stop = source.Next(source.Context, &bytes, &piece)) != 0) {
                return 0;
            }
            if (piece == 0 || bytes == nullptr) {
                stop = QUARINET_ERROR_INVALID_PARAMETER;
                return 0;
            }
            piece = std::min(piece, length - sent);
            uint32_t written = 0;
            if (table.InternetWriteFile(request, bytes, piece, &written) == 0) {
                return table.GetLastError();
            }
            sent += piece;
        }
        if (table.HttpEndRequestA(request, nullptr, 0, 0) != 0) {
            return ERROR_SUCCESS;
        }
        const uint32_t error = table.GetLastError();
        if (error != ERROR_INTERNET_FORCE_RETRY) {
            return error;
        }
    }
}

// A call that failed after Abort failed because of it (its handle was closed under it): the
// answer is the cancellation, whatever the library said about the closed handle.
uint32_t CancelledOr(QuarInetWinInetState& state, uint32_t error) {
    std::lock_guard<std::mutex> hold(state.lock);
    return state.aborting ? uint32_t{ERROR_INTERNET_OPERATION_CANCELLED} : error;
}

}  // namespace

QuarInetHttpRequestWinInetImpl::QuarInetHttpRequestWinInetImpl(QuarInetStatusCallback callback,
                                                               QuarInetWindow parent)
    : QuarInetHttpRequest(callback, parent),
      SessionHandle(nullptr),
      ConnectHandle(nullptr),
      RequestHandle(nullptr),
      state_(new QuarInetWinInetState) {
    state_->table = &inet::ProcessWinInetTable();
}

QuarInetHttpRequestWinInetImpl::~QuarInetHttpRequestWinInetImpl() {
    if (state_->table->Available()) {
        CloseHandles(true);
    }
    delete state_;
}

void QuarInetHttpRequestWinInetImpl::CloseHandles(bool quiet) {
    void* handles[3];
    {
        std::lock_guard<std::mutex> hold(state_->lock);
        handles[0] = RequestHandle;
        handles[1] = ConnectHandle;
        handles[2] = SessionHandle;
        RequestHandle = ConnectHandle = SessionHandle = nullptr;
    }
    if (quiet && handles[2] != nullptr) {
        state_->table->InternetSetStatusCallback(handles[2], nullptr);
    }
    // Closing waits for nothing: the library wakes a call blocked in the handle and frees
    // it once that call has left.
    for (void* handle : handles) {
        if (handle != nullptr) {
            state_->table->InternetCloseHandle(handle);
        }
    }
}

bool QuarInetHttpRequestWinInetImpl::Keep(void*& member, void* handle) {
    {
        std::lock_guard<std::mutex> hold(state_->lock);
        if (!state_->aborting) {
            member = handle;
            return true;
        }
    }
    state_->table->InternetCloseHandle(handle);
    return false;
}

bool QuarInetHttpRequestWinInetImpl::WasAborted() {
    std::lock_guard<std::mutex> hold(state_->lock);
    return state_->aborting;
}

bool QuarInetHttpRequestWinInetImpl::OpenHandles(void*& session, void*& request) {
    std::lock_guard<std::mutex> hold(state_->lock);
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
    // An Abort that came first, even before the worker started, stands: the request stays
    // aborted.
    if (WasAborted()) {
        return ERROR_INTERNET_OPERATION_CANCELLED;
    }
    if (const uint32_t stored = SetRequestParams(host, port, verb, path, headers, headersLength,
                                                 body, bodyLength, false)) {
        return stored;
    }
    if (!state_->table->Available()) {
        return QUARINET_ERROR_NO_TRANSPORT;
    }
    // A second exchange starts from fresh handles.
    CloseHandles(true);

    void* session =
        state_->table->InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (session == nullptr) {
        return CancelledOr(*state_, state_->table->GetLastError());
    }
    if (!Keep(SessionHandle, session)) {
        return ERROR_INTERNET_OPERATION_CANCELLED;
    }
    if (state_->table->InternetSetOptionA != nullptr) {
        uint32_t connectTimeout = ConnectTimeout;
        uint32_t receiveTimeout = ReceiveTimeout;
        state_->table->InternetSetOptionA(session, INTERNET_OPTION_CONNECT_TIMEOUT, &connectTimeout,
                                          sizeof connectTimeout);
        state_->table->InternetSetOptionA(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveTimeout,
                                          sizeof receiveTimeout);
    }
    if (Callback != nullptr) {
        state_->table->InternetSetStatusCallback(session, Callback);
    }
    const uintptr_t context = reinterpret_cast<uintptr_t>(this);
    void* connection = state_->table->InternetConnectA(session, Host, static_cast<uint16_t>(Port),
                                                       nullptr, nullptr, kServiceHttp, 0, context);
    if (connection == nullptr) {
        return CancelledOr(*state_, state_->table->GetLastError());
    }
    if (!Keep(ConnectHandle, connection)) {
        return ERROR_INTERNET_OPERATION_CANCELLED;
    }
    void* request = state_->table->HttpOpenRequestA(connection, Verb, Path, "HTTP/1.0", nullptr,
                                                    nullptr, kRequestFlags, context);
    if (request == nullptr) {
        return CancelledOr(*state_, state_->table->GetLastError());
    }
    if (!Keep(RequestHandle, request)) {
        return ERROR_INTERNET_OPERATION_CANCELLED;
    }

    const QuarInetWinInetTable& table = *state_->table;
    if (BodySource != nullptr &&
        (table.HttpSendRequestExA == nullptr || table.InternetWriteFile == nullptr ||
         table.HttpEndRequestA == nullptr)) {
        return QUARINET_ERROR_NO_TRANSPORT;  // a library without the streamed send
    }
    // A dialog that keeps asking for a retry (credentials refused again and again) gets a few
    // tries, then the last outcome stands.
    for (int retries = 0;; ++retries) {
        uint32_t stop = 0;
        const uint32_t error = BodySource != nullptr
                                   ? SendFromSource(table, request, Headers, HeadersLength,
                                                    *BodySource, retries > 0, stop)
                               : table.HttpSendRequestA(request, Headers, HeadersLength,
                                                        const_cast<char*>(Body), BodyLength) != 0
                                   ? ERROR_SUCCESS
                                   : table.GetLastError();
        if (stop != 0) {
            return stop;
        }
        // A request aborted meanwhile has its handles closed: its failure is the answer, and
        // no dialog is asked about it.
        if (error != ERROR_SUCCESS && WasAborted()) {
            return ERROR_INTERNET_OPERATION_CANCELLED;
        }
        const uint32_t answer = state_->table->InternetErrorDlg(ParentWindow, request, error,
                                                                kErrorDialogFlags, nullptr);
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
    const QuarInetWinInetTable* table = state_->table;
    if (!table->Available()) {
        return QUARINET_ERROR_NO_TRANSPORT;
    }
    void* session = nullptr;
    void* request = nullptr;
    if (!OpenHandles(session, request)) {
        return CancelledOr(*state_, QUARINET_ERROR_NO_REQUEST);
    }

    uint32_t length = 0;
    responseHeadersLength = 0;
    if (table->HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &length, nullptr) ==
        0) {
        const uint32_t error = table->GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER) {
            return CancelledOr(*state_, error);
        }
    }
    inet::HeapPtr<char> headers(static_cast<char*>(inet::HeapAllocate(size_t(length) + 1)));
    if (headers == nullptr) {
        return QUARINET_ERROR_NOT_ENOUGH_MEMORY;
    }
    headers.get()[length] = '\0';
    uint32_t room = length + 1;
    if (table->HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, headers.get(), &room,
                              nullptr) == 0) {
        responseHeaders = headers.release();
        return CancelledOr(*state_, table->GetLastError());
    }
    responseBody = nullptr;
    responseBodyLength = 0;

    // A body's length travels as 32 bits: a larger one cannot be held whole.
    inet::ResponseContext context;
    context.transport = inet::Transport::kPlatformLibrary;
    inet::ResponseSink sink(inet::kBlockAtHandGrowth, UINT32_MAX, BodySink, context);
    uint32_t rc = sink.Start() ? sink.TakeHeaders(std::move(headers), room)
                               : QUARINET_ERROR_NOT_ENOUGH_MEMORY;
    uint32_t read = 0;
    while (rc == 0) {
        // A whole body asks the library what is at hand and grows by it; a streamed one reads
        // whatever fits its room, which the library fills straight from the network.
        uint32_t available = 0;
        if (BodySink == nullptr &&
            table->InternetQueryDataAvailable(request, &available, 0, 0) == 0) {
            rc = table->GetLastError();
            break;
        }
        if (!sink.Prepare(BodySink != nullptr ? 0 : available)) {
            rc = QUARINET_ERROR_NOT_ENOUGH_MEMORY;
            break;
        }
        const uint32_t chunk = static_cast<uint32_t>(
            BodySink != nullptr ? sink.RoomSize() : std::min<size_t>(available, sink.RoomSize()));
        read = 0;
        const int ok = table->InternetReadFile(request, sink.Room(), chunk, &read);
        rc = sink.Commit(read);
        uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(sink.BodyBytes(), UINT32_MAX));
        Report(session, QUARINET_STATUS_RECEIVING_RESPONSE, &count);
        if (ok == 0) {
            rc = table->GetLastError();
        }
        if (read == 0) {
            break;
        }
    }
    if (rc != 0) {
        sink.HandOver(responseHeaders, responseHeadersLength, responseBody, responseBodyLength);
        return CancelledOr(*state_, rc);
    }
    uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(sink.BodyBytes(), UINT32_MAX));
    Report(session, QUARINET_STATUS_RESPONSE_RECEIVED, &count);
    return sink.Finish(0, responseHeaders, responseHeadersLength, responseBody, responseBodyLength);
}

void QuarInetHttpRequestWinInetImpl::Abort(uint32_t /*reserved*/) {
    {
        std::lock_guard<std::mutex> hold(state_->lock);
        Aborted = 1;
        state_->aborting = true;
    }
    // The status callback stays registered until the session handle is closed.
    if (state_->table->Available()) {
        CloseHandles(false);
    }
}
