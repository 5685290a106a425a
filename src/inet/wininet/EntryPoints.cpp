// The exported entry points: argument checks, handle look-ups and the last error; the work is
// in the handles and their transfers.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "inet/dialog/CredentialsDialog.h"
#include "inet/dialog/CredentialsPrompt.h"
#include "inet/dialog/DialogResult.h"
#include "inet/wininet/Handles.h"
#include "inet/wininet/LastError.h"
#include "inet/wininet/WinInetApi.h"
#include "platform/Registry.h"

using namespace wininet;

namespace {

// The environment variable that names the certificate authorities to trust (a PEM file).
constexpr const char* kCaFileVariable = "QUAR_WININET_CAFILE";

std::string TextOr(const char* text, const char* fallback) {
    return text != nullptr ? text : fallback;
}

// The transfer of a request whose headers are in, or null with
// ERROR_INTERNET_INCORRECT_HANDLE_STATE (not sent yet, or the send failed).
Transfer* SentTransfer(Request& request) {
    Transfer* transfer = request.CurrentTransfer();
    if (transfer == nullptr || !transfer->HeadersReady()) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        return nullptr;
    }
    return transfer;
}

std::atomic<uint32_t>* TimeoutOption(InetHandle& handle, uint32_t option) {
    switch (option) {
        case INTERNET_OPTION_CONNECT_TIMEOUT:
            return &handle.connectTimeoutMs;
        case INTERNET_OPTION_SEND_TIMEOUT:
            return &handle.sendTimeoutMs;
        case INTERNET_OPTION_RECEIVE_TIMEOUT:
            return &handle.receiveTimeoutMs;
        default:
            return nullptr;
    }
}

// Shows the credentials dialog for the server or the proxy of `request`, starting with what the
// user gave before; keeps what is given for the request's next send. False when cancelled or
// when no window can be shown.
bool AskForCredentials(Request& request, bool proxy, void* window) {
    // Room as the settings record gives its texts.
    constexpr size_t kFieldSize = 260;
    char user[kFieldSize] = "";
    char password[kFieldSize] = "";
    std::string& keptUser = proxy ? request.givenProxyUser : request.givenServerUser;
    std::string& keptPassword = proxy ? request.givenProxyPassword : request.givenServerPassword;
    // Asked again after credentials went with the request: they were refused.
    const Connection& connection = request.OwningConnection();
    const std::string& sentUser =
        !keptUser.empty() ? keptUser
                          : (proxy ? connection.OwningSession().proxy.user : connection.user);
    const bool refused = !sentUser.empty();
    keptUser.copy(user, kFieldSize - 1);
    const bool secure = (request.flags & INTERNET_FLAG_SECURE) != 0;
    const std::string who = proxy ? connection.OwningSession().proxy.For(secure ? "https" : "http")
                                  : connection.host + ":" + std::to_string(connection.port);
    const Transfer* transfer = request.CurrentTransfer();
    const std::string prompt = inet::CredentialsPrompt(
        proxy, who, transfer != nullptr ? inet::ChallengeRealm(transfer->Headers(), proxy) : "",
        refused);
    if (inet::ShowCredentialsDialog(nullptr, prompt.c_str(), user, sizeof user, password,
                                    sizeof password, window) != inet::DialogOk) {
        return false;
    }
    keptUser = user;
    keptPassword = password;
    return true;
}

// Runs an entry point's body with the library's promise that nothing throws across the boundary.
template <typename Result, typename Body>
Result Guarded(Result failure, Body body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    } catch (...) {
        SetLastError(ERROR_INTERNET_INTERNAL_ERROR);
    }
    return failure;
}

}  // namespace

QUAR_WININET_API void* InternetOpenA(const char* agent, uint32_t accessType, const char* proxy,
                                     const char*, uint32_t) {
    return Guarded<void*>(nullptr, [&]() -> void* {
        auto session = std::make_shared<Session>();
        session->agent = TextOr(agent, "");
        switch (accessType) {
            case INTERNET_OPEN_TYPE_PRECONFIG:
            case INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY:
                session->proxy =
                    ReadPreconfiguredProxy(*OpenSystemRegistry(), std::getenv("http_proxy"));
                break;
            case INTERNET_OPEN_TYPE_DIRECT:
                break;
            case INTERNET_OPEN_TYPE_PROXY:
                if (proxy == nullptr || *proxy == '\0') {
                    SetLastError(ERROR_INVALID_PARAMETER);
                    return nullptr;
                }
                session->proxy = ParseProxyList(proxy);
                break;
            default:
                SetLastError(ERROR_INVALID_PARAMETER);
                return nullptr;
        }
        session->caFile = TextOr(std::getenv(kCaFileVariable), "");
        void* value = HandleTable::Instance().Add(std::move(session));
        SetLastError(wininet::ERROR_SUCCESS);
        return value;
    });
}

QUAR_WININET_API void* InternetConnectA(void* sessionHandle, const char* server, uint16_t port,
                                        const char* user, const char* password, uint32_t service,
                                        uint32_t, uintptr_t context) {
    return Guarded<void*>(nullptr, [&]() -> void* {
        auto session = FindHandle<Session>(sessionHandle, HandleKind::Session);
        if (session == nullptr) {
            return nullptr;
        }
        if (server == nullptr || *server == '\0' || service != INTERNET_SERVICE_HTTP) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        auto connection = std::make_shared<Connection>(session, context);
        connection->host = server;
        connection->port = port;
        connection->user = TextOr(user, "");
        connection->password = TextOr(password, "");
        void* value = HandleTable::Instance().Add(std::move(connection));
        SetLastError(wininet::ERROR_SUCCESS);
        return value;
    });
}

QUAR_WININET_API void* HttpOpenRequestA(void* connectionHandle, const char* verb,
                                        const char* object, const char* version,
                                        const char* referrer, const char** acceptTypes,
                                        uint32_t flags, uintptr_t context) {
    return Guarded<void*>(nullptr, [&]() -> void* {
        auto connection = FindHandle<Connection>(connectionHandle, HandleKind::Connection);
        if (connection == nullptr) {
            return nullptr;
        }
        auto request = std::make_shared<Request>(connection, context);
        request->verb = verb != nullptr && *verb != '\0' ? verb : "GET";
        request->object = TextOr(object, "/");
        request->http10 = version != nullptr && std::strcmp(version, "HTTP/1.0") == 0;
        request->flags = flags;
        request->referrer = TextOr(referrer, "");
        for (const char** type = acceptTypes; type != nullptr && *type != nullptr; ++type) {
            request->accept += request->accept.empty() ? "" : ", ";
            request->accept += *type;
        }
        void* value = HandleTable::Instance().Add(std::move(request));
        SetLastError(wininet::ERROR_SUCCESS);
        return value;
    });
}

QUAR_WININET_API int HttpSendRequestA(void* requestHandle, const char* headers,
                                      uint32_t headersLength, void* optional,
                                      uint32_t optionalLength) {
    return Guarded(0, [&] {
        auto request = FindHandle<Request>(requestHandle, HandleKind::Request);
        if (request == nullptr) {
            return 0;
        }
        uint32_t error = request->Start(headers, headersLength, optional, optionalLength);
        if (error == wininet::ERROR_SUCCESS) {
            Transfer* transfer = request->CurrentTransfer();
            error = transfer->AwaitHeaders();
            // The body is the caller's only until this call returns.
            transfer->KeepBody();
        }
        if (error != wininet::ERROR_SUCCESS) {
            return Fail(error);
        }
        SetLastError(wininet::ERROR_SUCCESS);
        return 1;
    });
}

QUAR_WININET_API int HttpSendRequestExA(void* requestHandle, const QuarInternetBuffersA* buffersIn,
                                        QuarInternetBuffersA*, uint32_t, uintptr_t) {
    return Guarded(0, [&] {
        auto request = FindHandle<Request>(requestHandle, HandleKind::Request);
        if (request == nullptr) {
            return 0;
        }
        if (buffersIn == nullptr || buffersIn->structSize != sizeof *buffersIn ||
            buffersIn->bufferLength > buffersIn->bufferTotal ||
            (buffersIn->buffer == nullptr && buffersIn->bufferLength > 0)) {
            return Fail(ERROR_INVALID_PARAMETER);
        }
        uint32_t error = request->Start(buffersIn->header, buffersIn->headersLength, nullptr,
                                        buffersIn->bufferTotal, true);
        if (error == wininet::ERROR_SUCCESS && buffersIn->bufferLength > 0) {
            error = request->CurrentTransfer()->Write(buffersIn->buffer, buffersIn->bufferLength);
        }
        if (error != wininet::ERROR_SUCCESS) {
            return Fail(error);
        }
        SetLastError(wininet::ERROR_SUCCESS);
        return 1;
    });
}

namespace {

// The transfer of a request started with HttpSendRequestExA and not yet ended, or null with the
// last error set.
Transfer* StreamingTransfer(void* requestHandle, std::shared_ptr<Request>& request) {
    request = FindHandle<Request>(requestHandle, HandleKind::Request);
    if (request == nullptr) {
        return nullptr;
    }
    Transfer* transfer = request->CurrentTransfer();
    if (transfer == nullptr || !transfer->BodyOpen()) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        return nullptr;
    }
    return transfer;
}

}  // namespace

QUAR_WININET_API int InternetWriteFile(void* file, const void* buffer, uint32_t toWrite,
                                       uint32_t* written) {
    return Guarded(0, [&] {
        std::shared_ptr<Request> request;
        Transfer* transfer = StreamingTransfer(file, request);
        if (transfer == nullptr) {
            return 0;
        }
        if (written == nullptr || (buffer == nullptr && toWrite > 0)) {
            return Fail(ERROR_INVALID_PARAMETER);
        }
        *written = 0;
        if (const uint32_t error = transfer->Write(buffer, toWrite)) {
            return Fail(error);
        }
        *written = toWrite;
        SetLastError(wininet::ERROR_SUCCESS);
        return 1;
    });
}

QUAR_WININET_API int HttpEndRequestA(void* requestHandle, QuarInternetBuffersA*, uint32_t,
                                     uintptr_t) {
    return Guarded(0, [&] {
        std::shared_ptr<Request> request;
        Transfer* transfer = StreamingTransfer(requestHandle, request);
        if (transfer == nullptr) {
            return 0;
        }
        if (const uint32_t error = transfer->EndBody()) {
            return Fail(error);
        }
        SetLastError(wininet::ERROR_SUCCESS);
        return 1;
    });
}

QUAR_WININET_API int HttpQueryInfoA(void* requestHandle, uint32_t infoLevel, void* buffer,
                                    uint32_t* length, uint32_t*) {
    return Guarded(0, [&] {
        auto request = FindHandle<Request>(requestHandle, HandleKind::Request);
        if (request == nullptr) {
            return 0;
        }
        if (length == nullptr) {
            return Fail(ERROR_INVALID_PARAMETER);
        }
        if (infoLevel != HTTP_QUERY_RAW_HEADERS_CRLF) {
            return Fail(ERROR_HTTP_INVALID_QUERY_REQUEST);
        }
        const Transfer* transfer = SentTransfer(*request);
        if (transfer == nullptr) {
            return 0;
        }
        const std::string& headers = transfer->Headers();
        if (buffer == nullptr || *length < headers.size() + 1) {
            *length = static_cast<uint32_t>(headers.size() + 1);
            return Fail(ERROR_INSUFFICIENT_BUFFER);
        }
        std::memcpy(buffer, headers.c_str(), headers.size() + 1);
        *length = static_cast<uint32_t>(headers.size());
        SetLastError(wininet::ERROR_SUCCESS);
        return 1;
    });
}

QUAR_WININET_API int InternetQueryDataAvailable(void* requestHandle, uint32_t* available, uint32_t,
                                                uintptr_t) {
    return Guarded(0, [&] {
        auto request = FindHandle<Request>(requestHandle, HandleKind::Request);
        if (request == nullptr) {
            return 0;
        }
        if (available == nullptr) {
            return Fail(ERROR_INVALID_PARAMETER);
        }
        Transfer* transfer = SentTransfer(*request);
        if (transfer == nullptr) {
            return 0;
        }
        std::size_t count = 0;
        const uint32_t error = transfer->AwaitBody(&count);
        if (error != wininet::ERROR_SUCCESS) {
            return Fail(error);
        }
        *available = static_cast<uint32_t>(std::min<std::size_t>(count, 0xFFFFFFFFu));
        SetLastError(wininet::ERROR_SUCCESS);
        return 1;
    });
}

QUAR_WININET_API int InternetReadFile(void* requestHandle, void* buffer, uint32_t toRead,
                                      uint32_t* read) {
    return Guarded(0, [&] {
        auto request = FindHandle<Request>(requestHandle, HandleKind::Request);
        if (request == nullptr) {
            return 0;
        }
        if (read == nullptr || (buffer == nullptr && toRead > 0)) {
            return Fail(ERROR_INVALID_PARAMETER);
        }
        *read = 0;
        Transfer* transfer = SentTransfer(*request);
        if (transfer == nullptr) {
            return 0;
        }
        std::size_t count = 0;
        if (toRead > 0) {
            const uint32_t error = transfer->ReadInto(buffer, toRead, &count);
            if (error != wininet::ERROR_SUCCESS) {
                return Fail(error);
            }
            *read = static_cast<uint32_t>(count);
        }
        SetLastError(wininet::ERROR_SUCCESS);
        return 1;
    });
}

QUAR_WININET_API QuarInternetStatusCallback
InternetSetStatusCallback(void* handle, QuarInternetStatusCallback callback) {
    std::shared_ptr<InetHandle> found = HandleTable::Instance().Find(handle);
    if (found == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return QUAR_INTERNET_INVALID_STATUS_CALLBACK;
    }
    SetLastError(wininet::ERROR_SUCCESS);
    return found->ExchangeCallback(callback);
}

QUAR_WININET_API int InternetSetOptionA(void* handle, uint32_t option, void* buffer,
                                        uint32_t length) {
    std::shared_ptr<InetHandle> found = HandleTable::Instance().Find(handle);
    if (found == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    std::atomic<uint32_t>* target = TimeoutOption(*found, option);
    if (target == nullptr) {
        return Fail(ERROR_INTERNET_INVALID_OPTION);
    }
    if (buffer == nullptr || length != sizeof(uint32_t)) {
        return Fail(ERROR_INTERNET_BAD_OPTION_LENGTH);
    }
    uint32_t value = 0;
    std::memcpy(&value, buffer, sizeof value);
    target->store(value);
    SetLastError(wininet::ERROR_SUCCESS);
    return 1;
}

QUAR_WININET_API int InternetQueryOptionA(void* handle, uint32_t option, void* buffer,
                                          uint32_t* length) {
    std::shared_ptr<InetHandle> found = HandleTable::Instance().Find(handle);
    if (found == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const std::atomic<uint32_t>* source = TimeoutOption(*found, option);
    if (source == nullptr) {
        return Fail(ERROR_INTERNET_INVALID_OPTION);
    }
    if (length == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (buffer == nullptr || *length < sizeof(uint32_t)) {
        *length = sizeof(uint32_t);
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    const uint32_t value = source->load();
    std::memcpy(buffer, &value, sizeof value);
    *length = sizeof value;
    SetLastError(wininet::ERROR_SUCCESS);
    return 1;
}

QUAR_WININET_API int InternetCloseHandle(void* handle) {
    return Guarded(0, [&] {
        if (!HandleTable::Instance().Close(handle)) {
            return Fail(ERROR_INVALID_HANDLE);
        }
        SetLastError(wininet::ERROR_SUCCESS);
        return 1;
    });
}

QUAR_WININET_API uint32_t InternetErrorDlg(void* window, void* requestHandle, uint32_t error,
                                           uint32_t flags, void**) {
    auto request = FindHandle<Request>(requestHandle, HandleKind::Request);
    if (request == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    const Transfer* transfer = request->CurrentTransfer();
    const uint32_t status = transfer != nullptr ? transfer->Status() : 0;
    bool needsCredentials = error == ERROR_INTERNET_LOGIN_FAILURE;
    if (error == wininet::ERROR_SUCCESS && (flags & FLAGS_ERROR_UI_FILTER_FOR_ERRORS) != 0) {
        needsCredentials = status == 401 || status == 407;
    }
    if (!needsCredentials) {
        return wininet::ERROR_SUCCESS;
    }
    return Guarded<uint32_t>(ERROR_CANCELLED, [&] {
        return AskForCredentials(*request, status == 407, window) ? ERROR_INTERNET_FORCE_RETRY
                                                                  : ERROR_CANCELLED;
    });
}

QUAR_WININET_API uint32_t QuarWinInetGetLastError(void) {
    return GetLastError();
}
