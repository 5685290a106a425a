// The platform internet library as libquarwininet.so offers it: the entry points that the
// browser-settings transport looks up by name, their argument types and the numbers they use.
// The transport dlopens the library, looks the names up with dlsym and calls them through the
// pointer types below; nothing links against the library.
//
// Handles are opaque values, never reused within a process. A closed or unknown handle fails
// with ERROR_INVALID_HANDLE. Handles form a tree: session (InternetOpenA), connection
// (InternetConnectA), request (HttpOpenRequestA); a child takes its parent's status callback and
// time-outs when it is made, and closing a parent closes its children.
//
// Failures are reported as in the platform: a false (0) or null result, and a number that the
// calling thread reads back with QuarWinInetGetLastError (the platform's GetLastError). A
// successful call sets the number to 0.
//
// Threads: each handle is used by one thread at a time, except that InternetCloseHandle may be
// called from any thread while another thread is blocked in a call on the same handle (or one
// of its children): the blocked call then fails promptly with ERROR_INTERNET_OPERATION_CANCELLED,
// and the handle's memory is released only when no call is inside it any more.
//
// Environment: access type INTERNET_OPEN_TYPE_PRECONFIG takes the proxy from the current user's
// registry key "Software\Microsoft\Windows\CurrentVersion\Internet Settings" (ProxyEnable,
// ProxyServer as "host:port" or "http=host:port;https=host:port", ProxyOverride as a ";" list
// of hosts not to proxy, and the proxy credentials ProxyUserName and ProxyPassword). Without
// that key the proxy comes from http_proxy, credentials included. QUAR_WININET_CAFILE names a
// PEM file of certificate authorities to trust instead of the system's (tests with a
// self-signed certificate use it).
#pragma once

#include <cstddef>
#include <cstdint>

#define QUAR_WININET_API extern "C" __attribute__((visibility("default")))

// The library's file name, as the transport loads it.
#define QUAR_WININET_LIBRARY "libquarwininet.so"

// ---------------------------------------------------------------------------------------------
// Numbers
// ---------------------------------------------------------------------------------------------

namespace wininet {

// InternetOpenA access types.
constexpr uint32_t INTERNET_OPEN_TYPE_PRECONFIG = 0;
constexpr uint32_t INTERNET_OPEN_TYPE_DIRECT = 1;
constexpr uint32_t INTERNET_OPEN_TYPE_PROXY = 3;
constexpr uint32_t INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY = 4;

// InternetConnectA: the one service, and port 0 for the service's default port.
constexpr uint32_t INTERNET_SERVICE_HTTP = 3;
constexpr uint16_t INTERNET_INVALID_PORT_NUMBER = 0;

// HttpOpenRequestA flags that change what is sent; the others are accepted and ignored.
constexpr uint32_t INTERNET_FLAG_NO_AUTO_REDIRECT = 0x00200000;
constexpr uint32_t INTERNET_FLAG_KEEP_CONNECTION = 0x00400000;
constexpr uint32_t INTERNET_FLAG_SECURE = 0x00800000;
constexpr uint32_t INTERNET_FLAG_NO_CACHE_WRITE = 0x04000000;

// HttpQueryInfoA: all headers of the final response, each line ending in CR LF, the block
// closed by an empty line.
constexpr uint32_t HTTP_QUERY_RAW_HEADERS_CRLF = 22;

// InternetSetOptionA / InternetQueryOptionA: time-outs in milliseconds, as 4-byte numbers.
constexpr uint32_t INTERNET_OPTION_CONNECT_TIMEOUT = 2;
constexpr uint32_t INTERNET_OPTION_SEND_TIMEOUT = 5;
constexpr uint32_t INTERNET_OPTION_RECEIVE_TIMEOUT = 6;

// InternetErrorDlg flags.
constexpr uint32_t FLAGS_ERROR_UI_FILTER_FOR_ERRORS = 0x01;
constexpr uint32_t FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS = 0x02;
constexpr uint32_t FLAGS_ERROR_UI_FLAGS_GENERATE_DATA = 0x04;

// Status numbers given to the status callback. Events of a request carry the request handle
// and the context given to HttpOpenRequestA.
constexpr uint32_t INTERNET_STATUS_RESOLVING_NAME = 10;        // info: host name text
constexpr uint32_t INTERNET_STATUS_NAME_RESOLVED = 11;         // info: dotted address text
constexpr uint32_t INTERNET_STATUS_CONNECTING_TO_SERVER = 20;  // info: dotted address text
constexpr uint32_t INTERNET_STATUS_CONNECTED_TO_SERVER = 21;   // info: dotted address text
constexpr uint32_t INTERNET_STATUS_SENDING_REQUEST = 30;       // no info
constexpr uint32_t INTERNET_STATUS_REQUEST_SENT = 31;          // info: uint32_t bytes sent
constexpr uint32_t INTERNET_STATUS_RECEIVING_RESPONSE = 40;
constexpr uint32_t INTERNET_STATUS_RESPONSE_RECEIVED = 41;
constexpr uint32_t INTERNET_STATUS_REDIRECT = 110;  // info: the new URL text

// Result numbers.
constexpr uint32_t ERROR_SUCCESS = 0;
constexpr uint32_t ERROR_INVALID_HANDLE = 6;
constexpr uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr uint32_t ERROR_INVALID_PARAMETER = 87;
constexpr uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
constexpr uint32_t ERROR_CANCELLED = 1223;
constexpr uint32_t ERROR_INTERNET_TIMEOUT = 12002;
constexpr uint32_t ERROR_INTERNET_INTERNAL_ERROR = 12004;
constexpr uint32_t ERROR_INTERNET_INVALID_URL = 12005;
constexpr uint32_t ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
constexpr uint32_t ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr uint32_t ERROR_INTERNET_INVALID_OPTION = 12009;
constexpr uint32_t ERROR_INTERNET_BAD_OPTION_LENGTH = 12010;
constexpr uint32_t ERROR_INTERNET_LOGIN_FAILURE = 12015;
constexpr uint32_t ERROR_INTERNET_OPERATION_CANCELLED = 12017;
constexpr uint32_t ERROR_INTERNET_INCORRECT_HANDLE_TYPE = 12018;
constexpr uint32_t ERROR_INTERNET_INCORRECT_HANDLE_STATE = 12019;
constexpr uint32_t ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr uint32_t ERROR_INTERNET_CONNECTION_ABORTED = 12030;
constexpr uint32_t ERROR_INTERNET_CONNECTION_RESET = 12031;
constexpr uint32_t ERROR_INTERNET_FORCE_RETRY = 12032;
constexpr uint32_t ERROR_INTERNET_SEC_CERT_DATE_INVALID = 12037;
constexpr uint32_t ERROR_INTERNET_SEC_CERT_CN_INVALID = 12038;
constexpr uint32_t ERROR_INTERNET_INVALID_CA = 12045;
constexpr uint32_t ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
constexpr uint32_t ERROR_HTTP_INVALID_QUERY_REQUEST = 12154;
constexpr uint32_t ERROR_HTTP_REDIRECT_FAILED = 12156;
constexpr uint32_t ERROR_INTERNET_SECURITY_CHANNEL_ERROR = 12157;
constexpr uint32_t ERROR_INTERNET_PROXY_SERVER_UNREACHABLE = 12165;
constexpr uint32_t ERROR_INTERNET_SEC_INVALID_CERT = 12169;
constexpr uint32_t ERROR_INTERNET_SEC_CERT_REVOKED = 12170;

// How often a caller sends a request again when InternetErrorDlg answers
// ERROR_INTERNET_FORCE_RETRY before it gives up and reports the last error: a dialog that
// keeps asking (credentials refused again and again) must not hold the caller for ever.
constexpr int kMaxErrorDialogRetries = 3;

}  // namespace wininet

// ---------------------------------------------------------------------------------------------
// Entry points
// ---------------------------------------------------------------------------------------------

// The status callback: (handle, context of the handle, status, info, info length). The info
// pointer is valid only during the call. Runs on the thread that is inside the library.
typedef void (*QuarInternetStatusCallback)(void* handle, uintptr_t context, uint32_t status,
                                           void* info, uint32_t infoLength);

// The answer of InternetSetStatusCallback for a handle that cannot take a callback.
#define QUAR_INTERNET_INVALID_STATUS_CALLBACK ((QuarInternetStatusCallback)(intptr_t)-1)

// A session. `proxy` is used with INTERNET_OPEN_TYPE_PROXY only; `proxyBypass` and `flags`
// are ignored. Null on failure.
QUAR_WININET_API void* InternetOpenA(const char* agent, uint32_t accessType, const char* proxy,
                                     const char* proxyBypass, uint32_t flags);

// A connection to `server` at `port` (0: 80, or 443 for requests flagged secure) for the
// service INTERNET_SERVICE_HTTP; a non-null `user` and `password` authenticate at the server
// (Basic). Nothing goes on the network yet. Null on failure.
QUAR_WININET_API void* InternetConnectA(void* session, const char* server, uint16_t port,
                                        const char* user, const char* password, uint32_t service,
                                        uint32_t flags, uintptr_t context);

// A request `verb` (null: "GET") of `object` (null: "/") in the protocol `version` ("HTTP/1.0";
// null or anything else: HTTP/1.1). `referrer` is sent as Referer; `acceptTypes` (null-ended)
// become one Accept line. Redirects are followed unless INTERNET_FLAG_NO_AUTO_REDIRECT is set;
// INTERNET_FLAG_SECURE makes it https. Null on failure.
QUAR_WININET_API void* HttpOpenRequestA(void* connection, const char* verb, const char* object,
                                        const char* version, const char* referrer,
                                        const char** acceptTypes, uint32_t flags,
                                        uintptr_t context);

// Sends the request with the header block `headers` (CR LF lines; length 0xFFFFFFFF: up to the
// NUL) and the body `optional`, and returns once the headers of the final response are in. A
// response with any status is success. Sending again discards the previous response.
QUAR_WININET_API int HttpSendRequestA(void* request, const char* headers, uint32_t headersLength,
                                      void* optional, uint32_t optionalLength);

// The request's header block and body as HttpSendRequestExA takes them. Other fields of the
// platform's structure (next, headersTotal, offsets) are ignored.
struct QuarInternetBuffersA {
    uint32_t structSize;  // sizeof(QuarInternetBuffersA)
    QuarInternetBuffersA* next;
    const char* header;      // CR LF lines, or null
    uint32_t headersLength;  // 0xFFFFFFFF: up to the NUL
    uint32_t headersTotal;
    void* buffer;  // the body's first bytes, or null
    uint32_t bufferLength;
    uint32_t bufferTotal;  // the whole body's length, sent as its Content-Length
    uint32_t offsetLow;
    uint32_t offsetHigh;
};

// A request whose body follows in pieces: starts it with the header block of `buffersIn` and a
// body of `buffersIn->bufferTotal` bytes, the first of them `buffer` (may be none). The rest
// comes through InternetWriteFile, then HttpEndRequestA waits for the response. `buffersOut`,
// `flags` and `context` are ignored. Failures of the exchange may show here or in either call.
QUAR_WININET_API int HttpSendRequestExA(void* request, const QuarInternetBuffersA* buffersIn,
                                        QuarInternetBuffersA* buffersOut, uint32_t flags,
                                        uintptr_t context);

// Sends the body's next `toWrite` bytes of a request started with HttpSendRequestExA, from the
// caller's buffer, and returns once they are all handed to the network; `*written` is then
// `toWrite`. Bytes past the announced length fail with ERROR_INVALID_PARAMETER. When the server
// has already answered in full, the bytes are accepted and dropped.
QUAR_WININET_API int InternetWriteFile(void* file, const void* buffer, uint32_t toWrite,
                                       uint32_t* written);

// Ends the body of HttpSendRequestExA and returns once the headers of the final response are in,
// as HttpSendRequestA does. A body shorter than announced fails with ERROR_INVALID_PARAMETER.
// ERROR_INTERNET_FORCE_RETRY: a redirect wants the body again; the request now points at the
// redirect's target: start it again with HttpSendRequestExA and write the body from its start.
QUAR_WININET_API int HttpEndRequestA(void* request, QuarInternetBuffersA* buffersOut,
                                     uint32_t flags, uintptr_t context);

// Level HTTP_QUERY_RAW_HEADERS_CRLF only. On success `*length` is the count of bytes written
// before the NUL. When `buffer` is null or `*length` too small: false, ERROR_INSUFFICIENT_BUFFER,
// and `*length` the size needed, NUL included.
QUAR_WININET_API int HttpQueryInfoA(void* request, uint32_t infoLevel, void* buffer,
                                    uint32_t* length, uint32_t* index);

// Waits until body bytes are at hand or the body has ended, and stores their count (0 at the
// end). Fails with the transfer's error when the body broke off.
QUAR_WININET_API int InternetQueryDataAvailable(void* request, uint32_t* available, uint32_t flags,
                                                uintptr_t context);

// Copies up to `toRead` body bytes, waiting for some when none are at hand; `*read` 0 with
// success means the body has ended.
QUAR_WININET_API int InternetReadFile(void* request, void* buffer, uint32_t toRead, uint32_t* read);

// Sets the status callback of a handle (null: none) and answers the previous one, or
// QUAR_INTERNET_INVALID_STATUS_CALLBACK for an invalid handle.
QUAR_WININET_API QuarInternetStatusCallback
InternetSetStatusCallback(void* handle, QuarInternetStatusCallback callback);

// The time-out options on a session, connection or request handle: 4-byte values.
QUAR_WININET_API int InternetSetOptionA(void* handle, uint32_t option, void* buffer,
                                        uint32_t length);
QUAR_WININET_API int InternetQueryOptionA(void* handle, uint32_t option, void* buffer,
                                          uint32_t* length);

// Closes a handle and its children; safe from another thread while a call is inside (above).
QUAR_WININET_API int InternetCloseHandle(void* handle);

// Decides whether the outcome of HttpSendRequestA (its `error`, or 0 with the response's status
// under FLAGS_ERROR_UI_FILTER_FOR_ERRORS) needs the user. Answers:
//   ERROR_SUCCESS      nothing to ask: the caller reports `error` as it is. Certificate errors
//                      are among these: a certificate that does not verify is never accepted;
//   ERROR_CANCELLED    credentials are needed (a 401 or 407 answer, a refused login) and the
//                      user gave none: no display, no window host, or the dialog cancelled;
//   ERROR_INTERNET_FORCE_RETRY  the user gave credentials in the credentials dialog (shown
//                      through the window host beside this library or named by
//                      QUAR_WINDOW_HOST_MODULE, owned by `window`); the request keeps them for
//                      its next sends: send it again, at most wininet::kMaxErrorDialogRetries
//                      times;
//   ERROR_INVALID_HANDLE  `request` is not an open request.
QUAR_WININET_API uint32_t InternetErrorDlg(void* window, void* request, uint32_t error,
                                           uint32_t flags, void** data);

// The calling thread's last error number (the platform's GetLastError).
QUAR_WININET_API uint32_t QuarWinInetGetLastError(void);

// The entry points' types, for the transport's lookups.
typedef decltype(&InternetOpenA) QuarInternetOpenAFn;
typedef decltype(&InternetConnectA) QuarInternetConnectAFn;
typedef decltype(&HttpOpenRequestA) QuarHttpOpenRequestAFn;
typedef decltype(&HttpSendRequestA) QuarHttpSendRequestAFn;
typedef decltype(&HttpSendRequestExA) QuarHttpSendRequestExAFn;
typedef decltype(&InternetWriteFile) QuarInternetWriteFileFn;
typedef decltype(&HttpEndRequestA) QuarHttpEndRequestAFn;
typedef decltype(&HttpQueryInfoA) QuarHttpQueryInfoAFn;
typedef decltype(&InternetQueryDataAvailable) QuarInternetQueryDataAvailableFn;
typedef decltype(&InternetReadFile) QuarInternetReadFileFn;
typedef decltype(&InternetSetStatusCallback) QuarInternetSetStatusCallbackFn;
typedef decltype(&InternetSetOptionA) QuarInternetSetOptionAFn;
typedef decltype(&InternetQueryOptionA) QuarInternetQueryOptionAFn;
typedef decltype(&InternetCloseHandle) QuarInternetCloseHandleFn;
typedef decltype(&InternetErrorDlg) QuarInternetErrorDlgFn;
typedef decltype(&QuarWinInetGetLastError) QuarWinInetGetLastErrorFn;
