// QuarInet: the HTTP client library's public interface. This is the one header a client
// includes; it links against libQuarInet.so.
//
// Conventions shared by every export:
// - Text is 8-bit and NUL-terminated. Header blocks are lines ending in CR LF, possibly
//   closed by a blank line. Lengths travel by reference and exclude the NUL.
// - Every buffer the library hands out comes from the library's own heap; the caller owns it
//   and releases it with QuarInetFree, never with its own allocator.
// - Texts and buffers passed in are only read, except where a function says that it edits a
//   caller's buffer in place.
// - Nothing throws across this boundary: functions report failure through their result.
//
// This is a C++ header (classes, references, overloads); it cannot be included from C.
#pragma once

#ifndef __cplusplus
#error "QuarInet.h is a C++ header"
#endif

#include <stdint.h>

#include <atomic>

// Marks the library's exports; everything else in libQuarInet.so is hidden.
#define QUARINET_API __attribute__((visibility("default")))
// Keeps a member of an exported class inside the library.
#define QUARINET_INTERNAL __attribute__((visibility("hidden")))

// ---------------------------------------------------------------------------------------------
// Connection options
// ---------------------------------------------------------------------------------------------

// The settings that decide how requests reach a server: through the platform internet library
// with the browser's settings, directly, or through a proxy (optionally with Basic
// authentication). Each client application keeps them under a key name of its own in the
// current user's registry. A plain record, owned by one thread at a time.
class QUARINET_API QuarInetOptions {
  public:
    // Room of each text member, NUL included.
    enum { TextSize = 260 };

    // Defaults (browser settings, port 80, nothing else set); with a non-null key name the
    // stored settings are loaded over them.
    QuarInetOptions();
    explicit QuarInetOptions(const char* key_name);
    // Copies the seven settings; DialogTitle is left unset.
    QuarInetOptions(const QuarInetOptions& other);
    QuarInetOptions& operator=(const QuarInetOptions& other);

    // Reads the settings stored under `key_name` (those written by Save, or else those of an
    // older installation). False only for a null or empty name, one longer than 229 characters
    // or one holding CR, LF, "[", "]" or another control byte; a missing key keeps the record as it
    // is, a missing, wrong-typed or too long value takes its default.
    bool Load(const char* key_name);
    // Stores the seven settings under `key_name` (the password Base64-encoded) in the user
    // registry file, which only its owner may read; the file's other keys, comments and values
    // of other types stay as they were. False for a name that Load refuses or when any value
    // could not be written.
    bool Save(const char* key_name);
    // Copies the browser's proxy settings into the record (proxy mode or direct, no
    // authentication). False, record unchanged, when they cannot be read.
    bool ImportIESettings();

    int32_t UseIEsettings;
    int32_t Proxy;
    char ProxyAddress[TextSize];
    uint32_t ProxyPort;
    int32_t ProxyAuthorization;
    char ProxyLog[TextSize];
    char ProxyPwd[TextSize];
    // Caption of the settings dialog; not owned, set only by Configure.
    const char* DialogTitle;
};

// ---------------------------------------------------------------------------------------------
// Threads, windows and the status callback
// ---------------------------------------------------------------------------------------------

// An owner window for the library's dialogs; opaque to the library. Null: no owner.
typedef struct QuarInetWindowTag* QuarInetWindow;

// The worker thread of OpenUrl. The handle belongs to the client, which waits for the thread,
// may read its exit code (the request's result) and closes the handle; closing it does not stop
// the thread.
typedef struct QuarInetThreadTag* QuarInetThread;

// Results of QuarInetWaitForThread, and the exit code of a thread that still runs.
enum : uint32_t {
    QUARINET_WAIT_OBJECT_0 = 0,
    QUARINET_WAIT_TIMEOUT = 258,
    QUARINET_WAIT_FAILED = 0xFFFFFFFF,
    QUARINET_STILL_ACTIVE = 259,
    QUARINET_INFINITE = 0xFFFFFFFF,
};

// Waits until `thread` has ended or `milliseconds` have passed (QUARINET_INFINITE: no limit).
// QUARINET_WAIT_OBJECT_0 when it has ended, QUARINET_WAIT_TIMEOUT when time ran out,
// QUARINET_WAIT_FAILED for a null handle.
QUARINET_API uint32_t QuarInetWaitForThread(QuarInetThread thread, uint32_t milliseconds);
// The exit code of `thread` (QUARINET_STILL_ACTIVE while it runs). False for a null handle.
QUARINET_API bool QuarInetGetThreadExitCode(QuarInetThread thread, uint32_t& code);
// Releases the handle; a thread still running runs on (closing never stops it). Once the
// thread has ended its work, closing also waits for its exit. False for a null handle.
QUARINET_API bool QuarInetCloseThread(QuarInetThread thread);

// Progress reports of a request (see QuarInetHttpRequest for the events). `handle` is the
// transport's handle, `context` the address of the request object; `info` is valid only during
// the call. Runs on the worker thread: it must not block for long nor delete the request.
typedef void (*QuarInetStatusCallback)(void* handle, uintptr_t context, uint32_t status, void* info,
                                       uint32_t info_length);

// A status callback that does nothing, for clients that want no reports.
QUARINET_API void QuarInetDefaultCallback(void* handle, uintptr_t context, uint32_t status,
                                          void* info, uint32_t info_length);

// ---------------------------------------------------------------------------------------------
// Requests
// ---------------------------------------------------------------------------------------------

// Status numbers of the callback, in the order an exchange reports them.
enum : uint32_t {
    QUARINET_STATUS_RESOLVING_NAME = 10,        // info: the host name (not for dotted addresses)
    QUARINET_STATUS_NAME_RESOLVED = 11,         // info: the dotted address
    QUARINET_STATUS_CONNECTING_TO_SERVER = 20,  // info: the dotted address
    QUARINET_STATUS_CONNECTED_TO_SERVER = 21,   // info: the dotted address
    QUARINET_STATUS_SENDING_REQUEST = 30,
    QUARINET_STATUS_REQUEST_SENT = 31,        // info: uint32_t bytes sent, length 4
    QUARINET_STATUS_RECEIVING_RESPONSE = 40,  // first without info, then uint32_t bytes read
    QUARINET_STATUS_RESPONSE_RECEIVED = 41,   // info: uint32_t bytes read in all
    QUARINET_STATUS_CLOSING_CONNECTION = 50,
    QUARINET_STATUS_CONNECTION_CLOSED = 51,
    QUARINET_STATUS_HANDLE_CREATED = 60,
    QUARINET_STATUS_HANDLE_CLOSING = 70,
    QUARINET_STATUS_REDIRECT = 110,  // info: the new URL, info length 0
};

// Result codes that the library produces itself; every other non-zero code comes from the
// platform (Windows Sockets numbering for the socket transport). QuarInetGetErrorDescription
// gives the text of each.
enum : uint32_t {
    QUARINET_ERROR_INVALID_HANDLE = 6,
    // Memory ran out, or a response held whole is larger than a request may hold (4 GiB; a
    // body sink has no such bound).
    QUARINET_ERROR_NOT_ENOUGH_MEMORY = 8,
    // Receive over the platform internet library without a request.
    QUARINET_ERROR_NO_REQUEST = 13,
    // A null host, verb or path, or a CR or LF in them.
    QUARINET_ERROR_INVALID_PARAMETER = 87,
    // The exchange was broken off by Abort.
    QUARINET_ERROR_ABORTED = 10004,
    // A connect, send or receive time-out expired.
    QUARINET_ERROR_TIMED_OUT = 10060,
    // The response has no blank line after its headers (also the code of a connection reset),
    // or its body ended before the length its Content-Length gives (the bytes that came are
    // delivered).
    QUARINET_ERROR_NO_HEADER_END = 10054,
    QUARINET_ERROR_CUT_SHORT = 10054,
    // Receive without a successful Send.
    QUARINET_ERROR_NOT_CONNECTED = 10057,
    // A status the transport does not accept, or a redirect it cannot follow (a 301, 302, 305
    // or 307 without a Location among them); the response is delivered as it came.
    QUARINET_ERROR_STATUS = 12003,
    // The transport's library or one of its entry points is missing.
    QUARINET_ERROR_NO_TRANSPORT = 12004,
    // An answer that is not HTTP: its first line is no status line ("HTTP/", a version, a
    // blank and three digits, then the line's end or a blank and a reason text, at most 1,024
    // characters). What came is delivered.
    QUARINET_ERROR_INVALID_RESPONSE = 12152,
    // More redirects than one request follows; the last redirect response is delivered.
    QUARINET_ERROR_REDIRECT_LIMIT = 12156,
    // A gzip-encoded body whose decoding failed (cut short, damaged, or a wrong CRC-32 or
    // length in its trailer): the response is delivered as it came, still encoded, with its
    // headers unchanged. The number is of the application range (bit 29), outside every
    // platform's, and above the values a body sink or source would choose.
    QUARINET_ERROR_CONTENT_DECODING = 0x2F000001,
};

// Where a request delivers the body of its final response as it arrives, instead of holding it
// whole for Receive. Set a request's BodySink before Send (or OpenUrl); the sink and its
// context must outlive the exchange.
// - Both callbacks run on the thread that runs Receive (the worker thread of OpenUrl): they
//   must not delete the request, and may call Abort only from another thread.
// - Headers (may be null) receives the final response's header block once, before its body.
//   When the library decodes the body (a 200 answer with Content-Encoding gzip or x-gzip) the
//   block comes without its "Content-Encoding:" and "Content-Length:" lines.
// - Body (may be null: the body is dropped) receives the body in the blocks as they are read
//   (decoded gzip bytes in blocks of at most 256 KiB); `bytes` is valid only during the call. The
//   bodies of followed redirects are not passed on. A damaged gzip body ends after the bytes
//   decoded before the damage, and Receive then returns QUARINET_ERROR_CONTENT_DECODING.
// - Each returns 0 to go on. Any other value ends the exchange at once: the connection is
//   closed and Receive returns that value (choose values the library does not use, e.g. from
//   0x20000000 on; the library's own start at 0x2F000000).
// Receive then hands out the header block as usual, a null body of length 0, and the result
// codes of the whole-body form (a failure after some blocks were passed on says the body is
// not whole).
struct QuarInetBodySink {
    void* Context;
    uint32_t (*Headers)(void* context, const char* headers, uint32_t length);
    uint32_t (*Body)(void* context, const char* bytes, uint32_t length);
};

// Where a request takes its body from as it sends it, instead of a copy of a buffer given to
// Send: a body in the caller's memory is sent from there, a file can be read piece by piece. Set
// a request's BodySource before Send (or OpenUrl); Send's body arguments are then ignored, and
// the source and its context must outlive the exchange. The callbacks run on the thread that
// runs Send (the worker thread of OpenUrl).
// - Length: the body's size in bytes, sent as its Content-Length.
// - Next hands out the body's next bytes in `*bytes` and `*length` (0 at the end); they stay
//   valid until the next call. It returns 0, or any other value to end the exchange, which Send
//   then returns. A body that ends before Length bytes fails with
//   QUARINET_ERROR_INVALID_PARAMETER; bytes past Length are not sent.
// - Rewind starts the body again from its first byte, for a followed redirect that sends it
//   anew; 0 or a value that ends the exchange.
// Both transports send each piece as it comes (the body is never held whole). Through the
// platform internet library a body is at most 4 GiB - 2 bytes (a larger one fails with
// QUARINET_ERROR_NOT_ENOUGH_MEMORY), and a library without the streamed send fails with
// QUARINET_ERROR_NO_TRANSPORT.
struct QuarInetBodySource {
    void* Context;
    uint64_t Length;
    uint32_t (*Next)(void* context, const char** bytes, uint32_t* length);
    uint32_t (*Rewind)(void* context);
};

// One HTTP request, sent on a worker thread (OpenUrl) or on the caller's thread (Send, then
// Receive). Made by QuarInetHttpConnection::CreateRequest and deleted by the client, never while
// its worker runs. Not copyable.
//
// Events of a successful exchange over sockets: 60, 10 (named hosts only), 11, 20, 21, 30, 31,
// 40, 40 per block read, 41, 50, 51, 70; a followed redirect reports 110 and starts again at 60.
class QUARINET_API QuarInetHttpRequest {
  public:
    enum { DefaultConnectTimeout = 30000, DefaultReceiveTimeout = 300000 };  // milliseconds

    virtual ~QuarInetHttpRequest();

    // Connects and writes the request line (to a server: VERB PATH " HTTP/1.0" with a Host line
    // when the header block has none; to a proxy: "VERB http://HOST:PORT" PATH " HTTP/1.0"), the
    // header block (up to its blank line, each line ended by CR LF), then the body. Host, verb
    // and path are required, the port at most 65535. 0 or an error code; on success Receive
    // must follow.
    virtual uint32_t Send(const char* host, uint32_t port, const char* verb, const char* path,
                          const char* headers, uint32_t headers_length, const char* body,
                          uint32_t body_length) = 0;
    // Reads the response until the server closes, follows redirects and decodes gzip bodies.
    // The header block and body become the caller's (QuarInetFree), also with most failure
    // codes, which say what the response was (see the result codes above).
    virtual uint32_t Receive(char*& response_headers, uint32_t& response_headers_length,
                             char*& response_body, uint32_t& response_body_length) = 0;
    // Stores the request and starts a worker thread that runs Send, then Receive into the
    // caller's variables, and stores the result in `*result` (each slot may be null). Returns
    // the thread's handle (the client closes it), or null when no thread could be started or
    // the worker of an earlier OpenUrl still runs (that one's request and slots stay as they
    // are). The variables may be read once the thread has ended.
    virtual QuarInetThread OpenUrl(const char* host, uint32_t port, const char* verb,
                                   const char* path, const char* headers, uint32_t headers_length,
                                   const char* body, uint32_t body_length, char** response_headers,
                                   uint32_t* response_headers_length, char** response_body,
                                   uint32_t* response_body_length, uint32_t* result);
    // Breaks off the exchange from any thread: a blocked name lookup, connect, send or receive
    // ends at once and the exchange fails with QUARINET_ERROR_ABORTED. `reserved` is ignored.
    // The request stays aborted: later exchanges on it fail the same way.
    virtual void Abort(uint32_t reserved) = 0;

    QuarInetHttpRequest(const QuarInetHttpRequest&) = delete;
    QuarInetHttpRequest& operator=(const QuarInetHttpRequest&) = delete;

    QuarInetStatusCallback Callback;  // may be null
    char* Host;                       // the request's own copies, NUL-terminated
    uint32_t Port;                    // 80 until a request is stored
    char* Verb;
    char* Path;
    char* Headers;
    uint32_t HeadersLength;
    char* Body;
    uint32_t BodyLength;
    char** ResponseHeadersOut;  // OpenUrl's result slots
    uint32_t* ResponseHeadersLengthOut;
    char** ResponseBodyOut;
    uint32_t* ResponseBodyLengthOut;
    uint32_t ThreadId;
    QuarInetThread ThreadHandle;  // the handle OpenUrl returned (owned by the client)
    uint32_t* ResultOut;
    int32_t Aborted;  // 1 once Abort was called; the client reads it after the worker ended
    QuarInetWindow ParentWindow;
    // Time-outs in milliseconds (0: none) for connecting (and each send) and for each receive;
    // a client may change them before Send.
    uint32_t ConnectTimeout;
    uint32_t ReceiveTimeout;
    // Null (the default): Receive holds the body whole. Otherwise the body goes to this sink as
    // it arrives (see QuarInetBodySink).
    const QuarInetBodySink* BodySink;
    // Null (the default): Send sends its own copy of the body it was given. Otherwise the body
    // comes from this source as it is sent (see QuarInetBodySource).
    const QuarInetBodySource* BodySource;

  protected:
    QuarInetHttpRequest(QuarInetStatusCallback callback, QuarInetWindow parent);
    // Stores copies of the request (the previous copies are released after the new ones are
    // made, so the request's own members may be passed in). With `compress`, a non-empty body
    // is sent gzip-encoded with its headers adjusted. 0, QUARINET_ERROR_INVALID_PARAMETER (also
    // for a port above 65535) or QUARINET_ERROR_NOT_ENOUGH_MEMORY (the previous copies stay
    // then).
    uint32_t SetRequestParams(const char* host, uint32_t port, const char* verb, const char* path,
                              const char* headers, uint32_t headers_length, const char* body,
                              uint32_t body_length, bool compress);
    // The thread procedure of OpenUrl: Send, then Receive into the result slots.
    static uint32_t Worker(void* request);

  private:
    // Set from OpenUrl until its worker ends: a second OpenUrl meanwhile is refused.
    std::atomic<bool> workerRunning_;
};

// What a request shares with a thread that aborts it, and the library's bindings (opaque here).
struct QuarInetWinInetState;

// A request through the platform internet library (libquarwininet.so), made by CreateRequest
// when the settings ask for the browser's settings: the browser's proxy, redirects followed
// inside the library, its certificate checks and its credentials dialog apply. HTTP/1.0.
//
// The library reports its own events (10 to 31, 110) with the request as context; the request
// reports 40 after every block read and 41 at the end, on the session handle. Results are the
// library's numbers (12xxx), and: 12004 when the library or an entry point is missing, 12003
// for a final status other than 200 (the response is delivered) or when the user cancels the
// credentials dialog, 13 for Receive without an open request. After Abort the blocked call
// fails with the library's "operation cancelled" (12017). Not copyable.
class QUARINET_API QuarInetHttpRequestWinInetImpl : public QuarInetHttpRequest {
  public:
    QuarInetHttpRequestWinInetImpl(QuarInetStatusCallback callback, QuarInetWindow parent);
    ~QuarInetHttpRequestWinInetImpl() override;

    // Opens a session (the browser's proxy settings), a connection to `host`:`port` and the
    // request, and sends it; a credentials dialog may ask for a retry (a few times at most).
    uint32_t Send(const char* host, uint32_t port, const char* verb, const char* path,
                  const char* headers, uint32_t headers_length, const char* body,
                  uint32_t body_length) override;
    // Reads the final response's header block and body; a 200 body is gzip-decoded.
    uint32_t Receive(char*& response_headers, uint32_t& response_headers_length,
                     char*& response_body, uint32_t& response_body_length) override;
    // Closes the three handles (any thread): the call blocked in them fails at once.
    void Abort(uint32_t reserved) override;

    // The library's handles, null when not open.
    void* SessionHandle;
    void* ConnectHandle;
    void* RequestHandle;

  private:
    friend struct QuarInetWinInetState;

    // The handles as the worker may use them, or false when Abort closed them.
    QUARINET_INTERNAL bool OpenHandles(void*& session, void*& request);
    QUARINET_INTERNAL bool WasAborted();
    // Stores a newly opened handle; false (handle closed) when Abort came meanwhile.
    QUARINET_INTERNAL bool Keep(void*& member, void* handle);
    // Closes the three handles, first removing the status callback from the session if `quiet`.
    QUARINET_INTERNAL void CloseHandles(bool quiet);
    QUARINET_INTERNAL void Report(void* session, uint32_t status, uint32_t* count);

    QuarInetWinInetState* state_;
};

// What a socket request shares with a thread that aborts it, its name lookup and its buffers
// (opaque here).
struct QuarInetWinSockState;

// The library's own HTTP/1.0 client over sockets, made by CreateRequest when the settings do not
// ask for the browser's settings; a client may also make one itself with a settings record of
// its own. Connects to the server (each address of its name in turn, IPv4 or IPv6) or to the
// record's proxy, writes the request (to a server: origin form with a Host line; to a proxy:
// absolute form, with the proxy's Basic credentials when the record asks for them), reads the
// response until the server closes, follows redirects and decodes gzip bodies. Results are those
// listed above (Windows Sockets numbering for the socket's own failures); after Abort the
// exchange fails with QUARINET_ERROR_ABORTED. Not copyable.
class QUARINET_API QuarInetHttpRequestWinSockImpl : public QuarInetHttpRequest {
  public:
    // Takes a copy of `options` (all but DialogTitle): later changes to the record do not reach
    // the request. `callback` may be null; `parent` is kept for the client's own use.
    QuarInetHttpRequestWinSockImpl(const QuarInetOptions& options, QuarInetStatusCallback callback,
                                   QuarInetWindow parent);
    // Closes the socket if one is still open.
    ~QuarInetHttpRequestWinSockImpl() override;

    uint32_t Send(const char* host, uint32_t port, const char* verb, const char* path,
                  const char* headers, uint32_t headers_length, const char* body,
                  uint32_t body_length) override;
    uint32_t Receive(char*& response_headers, uint32_t& response_headers_length,
                     char*& response_body, uint32_t& response_body_length) override;
    // Any thread: a blocked name lookup, connect, send or receive ends at once.
    void Abort(uint32_t reserved) override;

  private:
    QuarInetOptions options_;

  public:
    // The socket of the exchange, all bits set when there is none; the handle the status events
    // carry. Read it only while no exchange runs.
    uintptr_t SocketHandle;

  private:
    friend struct QuarInetWinSockState;

    QUARINET_INTERNAL void Report(uint32_t status, void* info = nullptr, uint32_t info_length = 0);
    QUARINET_INTERNAL uint32_t LastError() const;
    // The result of a failed call: QUARINET_ERROR_ABORTED after an abort, else `code`.
    QUARINET_INTERNAL uint32_t FailureCode(uint32_t code) const;
    // Closes the socket as its owner; only under the lock, so Abort never sees a stale one.
    QUARINET_INTERNAL void CloseSocket();
    // Closes the socket with the events 50, 51 and 70.
    QUARINET_INTERNAL void CloseSocketReporting();
    // A fresh socket of `family` in place of the one held, with the time-outs set.
    QUARINET_INTERNAL uint32_t OpenSocket(int family);
    QUARINET_INTERNAL uint32_t Connect(const char* target, uint32_t port);
    QUARINET_INTERNAL uint32_t WriteRequest(uint32_t& sent);
    QUARINET_INTERNAL uint32_t SendAll(const char* bytes, uint64_t size, uint32_t& sent);
    // The body from BodySource, piece by piece.
    QUARINET_INTERNAL uint32_t SendFromSource(uint32_t& sent);
    // Sends the request again to `host`:`port` `path` and receives its response instead.
    QUARINET_INTERNAL uint32_t FollowRedirect(const char* host, uint32_t port, const char* path,
                                              char*& headers, uint32_t& headers_length, char*& body,
                                              uint32_t& body_length);

    QuarInetWinSockState* state_;
};

// A client application's connection settings, named by its settings key, and the factory of
// its requests.
class QUARINET_API QuarInetHttpConnection {
  public:
    // Keeps `settings_key` (not copied: the caller keeps it alive). With a non-empty
    // `import_key` under which settings are stored, they are copied to the settings key; an
    // import key without settings changes nothing.
    explicit QuarInetHttpConnection(const char* settings_key, const char* import_key = nullptr);
    ~QuarInetHttpConnection();
    QuarInetHttpConnection(const QuarInetHttpConnection& other) = default;
    QuarInetHttpConnection& operator=(const QuarInetHttpConnection& other) = default;

    // Shows the settings dialog (caption `caption`, owned by `parent`) over the stored settings
    // and stores them after OK. False on Cancel, when no display is available, or when they
    // could not be stored.
    bool Configure(const char* caption, QuarInetWindow parent);
    // Stores the given settings (null texts as empty ones). False, nothing stored, when a text
    // is longer than QuarInetOptions::TextSize - 1 characters; false when the store failed.
    bool Configure(int use_ie_settings, int use_proxy, const char* proxy_address,
                   uint32_t proxy_port, int proxy_authorization, const char* user,
                   const char* password);
    // A new request over the stored settings: the platform internet library when they ask for
    // the browser's settings and it is present, otherwise the library's own HTTP/1.0 client
    // (with the browser's proxy settings in the first case). Null when neither can be set up.
    // The caller deletes it.
    QuarInetHttpRequest* CreateRequest(QuarInetStatusCallback callback);
    // The same over `options` instead of the stored settings (for one request with settings of
    // its own; nothing is stored).
    QuarInetHttpRequest* CreateRequest(QuarInetStatusCallback callback,
                                       const QuarInetOptions& options);

    const char* SettingsKey;
};

// ---------------------------------------------------------------------------------------------
// Memory
// ---------------------------------------------------------------------------------------------

// Releases a block that the library allocated (response header blocks and bodies, MIME header
// blocks and bodies, the parts array of ParseMimeMultipart). A null pointer is ignored.
QUARINET_API void QuarInetFree(void* block);

// ---------------------------------------------------------------------------------------------
// Header blocks and status line
//
// Header names are given with their colon ("Content-Length:") and are matched without regard
// to letter case at the start of a line only, so "Content-type:" is not found inside
// "X-Content-type:" nor inside a value.
// ---------------------------------------------------------------------------------------------

// Reads the status line at the start of `headers` ("HTTP/1.0 200 OK"): the version word into
// `version`, the number into `code` and the rest of the line (possibly empty) into `reason`.
// `version` and `reason` each hold `size` bytes. Returns false when the block has no CR within
// its first `size` characters, when the line lacks a version or a number, or when the version
// does not fit; a reason longer than size - 1 characters is cut.
QUARINET_API bool QuarInetGetHttpStatusCode(const char* headers, char* version, uint32_t& code,
                                            char* reason, int size);

// Copies the value of the header `name` (after the blanks that follow the name, up to the next
// CR LF or the end of the text) into `out` of `size` bytes, cut to size - 1 characters.
// Returns false when the name is absent or nothing follows it but blanks.
QUARINET_API bool QuarInetGetHeaderValue(const char* headers, const char* name, char* out,
                                         int size);

// QuarInetGetHeaderValue with the name "Location:".
QUARINET_API bool QuarInetGetLocation(const char* headers, char* out, int size);

// Removes, in place, the first header `name` with its line end (or, on an unterminated last
// line, the rest of the text) and shortens `length` accordingly. Returns the position in the
// block where the header was, or null when it is absent.
QUARINET_API char* QuarInetRemoveHeader(char* headers, uint32_t& length, const char* name);

// Appends `line` (which ends in its own CR LF) to the block in place and updates `length`.
// When the block is closed by a blank line, the line replaces the blank line and anything after
// it, so a line that should keep the block closed ends with its own blank line. The caller
// provides the room. Returns where the line was written (closed block) or the new end of the
// text (open block).
QUARINET_API char* QuarInetAppendHeader(char* headers, uint32_t& length, const char* line);

// ---------------------------------------------------------------------------------------------
// URLs and escaping
// ---------------------------------------------------------------------------------------------

// Splits `url` into scheme (with its "://", empty when there is none), host, port (80 unless
// the host is followed by ":" and a number) and path (from the first "/" or "\" after the
// host, with the query). An IPv6 host comes in brackets ("http://[::1]:8080/") and is given
// without them ("::1"). `scheme`, `host` and `path` each hold `size` bytes. Returns false for
// a URL without a path, an unclosed bracket, or when the scheme or host does not fit; a longer
// path is cut to size - 1 characters.
QUARINET_API bool QuarInetSplitUrl(const char* url, char* scheme, char* host, uint32_t& port,
                                   char* path, int size);

// Joins scheme (null or empty: "http://"), host (an IPv6 literal put in brackets), ":port"
// (left out for 0 and 80) and path (null or empty: "/") into `out` of `size` bytes. Returns false
// when the result does not fit.
QUARINET_API bool QuarInetCombineUrl(const char* scheme, const char* host, uint32_t port,
                                     const char* path, char* out, int size);

// Form-style escaping into `out` of `size` bytes: a space becomes "+", letters, digits, "-" and
// "_" stay, every other byte becomes "%XX" in upper case. Returns false when the result does not
// fit (the output then holds the part that did).
QUARINET_API bool QuarURLEscape(char* out, int size, const char* in);

// Reverses form-style escaping into `out` of `size` bytes: "+" becomes a space and "%" with two
// characters their hexadecimal value (reading stops at the first non-hexadecimal character; a
// value whose low byte is 0 becomes the digit "0"). Returns false for a "%" followed by fewer
// than two characters, or when the result does not fit.
QUARINET_API bool QuarURLUnescape(char* out, int size, const char* in);

// ---------------------------------------------------------------------------------------------
// Result codes
// ---------------------------------------------------------------------------------------------

// The text for a result code of the library (Windows, Windows Sockets or WinInet numbering).
// Codes in the library's own tables give constant text. Any other code gives the system's
// message or "Error 0x<code> has occured" in a buffer of the calling thread, valid until that
// thread's next such call.
QUARINET_API const char* QuarInetGetErrorDescription(uint32_t code);

// ---------------------------------------------------------------------------------------------
// MIME multipart bodies and content encoding
// ---------------------------------------------------------------------------------------------

// One part of a multipart body.
// Building: `headers` is the part's header text, each line ending in CR LF (`headers_length` is
// not used); `data` and `data_length` the content, where a length of 0xFFFFFFFF means that
// `data` is NUL-terminated text whose length is taken.
// Parsing: `headers` and `data` point into the caller's body; `headers_length` counts the header
// lines without the closing blank line, `data_length` the content without the line break before
// the next delimiter.
struct mime_part {
    const char* headers;
    uint32_t headers_length;
    const char* data;
    uint32_t data_length;
};

// Builds a multipart body from `count` parts with a boundary that occurs in none of them, and
// the request header block for it: `request_headers` (may be null) with its "Content-type:"
// value extended by "; boundary=..." or, when it has none, a "Content-type:" line for
// multipart/form-data. The body ends with the closing delimiter line ("--boundary--" CR LF),
// followed by a NUL that `body_length` does not count. On success both outputs are the caller's, to
// release with QuarInetFree. Returns false only when memory runs out; the outputs are then null.
QUARINET_API bool ConstructMimeMultipart(char*& headers_out, char*& body_out,
                                         uint32_t& body_length_out, const char* request_headers,
                                         const mime_part* parts, uint32_t count);

// The same with the parts given as triples (const char* part headers, const char* data,
// uint32_t data length), ended by a null part-header pointer:
//   ConstructMimeMultipart(h, b, n, req, "Content-Disposition: ...\r\n", "x", 1u,
//                          (const char*)nullptr);
QUARINET_API bool ConstructMimeMultipart(char*& headers_out, char*& body_out,
                                         uint32_t& body_length_out, const char* request_headers,
                                         ...);

// True when the "Content-type:" value of `headers` begins with "multipart/" (any letter case).
QUARINET_API bool IsMimeMultipart(const char* headers);

// Splits a multipart `body` of `body_length` bytes at the boundary named in the "Content-type:"
// header of `headers` (quoted or not). On success stores a new array of the parts in
// `parts_out` (null when the body has no parts), to release with QuarInetFree, and returns the
// number of parts; the parts point into `body` and stay valid as long as it does. Returns 0 and
// leaves `parts_out` unchanged for a body that is not multipart or is malformed (no boundary, no
// delimiter, a part without its blank line or without a delimiter after it, no closing
// delimiter).
QUARINET_API uint32_t ParseMimeMultipart(const char* headers, const char* body,
                                         uint32_t body_length, mime_part*& parts_out);

// Decodes a response body whose "Content-Encoding:" is gzip or x-gzip. `headers` and `body`
// must be buffers of the library (as the transports hand out). On decoding, the body is
// replaced by the decoded bytes (followed by a NUL not counted in its length), the old one is
// released, and the header block is replaced by one without the "Content-Encoding:" and
// "Content-Length:" lines and ending in "Content-Length: <decoded length>" and a blank line.
// Bytes that do not start like gzip pass through unchanged, with the headers rewritten; a body
// damaged after its gzip header yields the bytes decoded before the damage. The response stays
// as it came (encoding header included) when it is not gzip-encoded, when its gzip header is
// unreadable, when memory runs out, or when it would decode to more than 512 MiB. Always
// returns true.
QUARINET_API bool UnpackContent(char*& headers, uint32_t& headers_length, char*& body,
                                uint32_t& body_length);
// The same, telling whether decoding stopped early: `stopped` becomes true for a gzip body that
// is cut short, damaged, or whose trailer's CRC-32 or length is wrong, and the response is then
// left as it came (still encoded, headers unchanged); false otherwise, with the outputs as the
// form above leaves them. Always returns true.
QUARINET_API bool UnpackContent(char*& headers, uint32_t& headers_length, char*& body,
                                uint32_t& body_length, bool& stopped);
