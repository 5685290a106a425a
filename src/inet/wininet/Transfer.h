// One HTTP exchange of a request handle over libcurl's multi interface, driven by the thread
// that calls into the library: the calls wait inside Pump until what they need has arrived, so
// the body is handed on as it comes in, never buffered whole.
#pragma once

#include <curl/curl.h>
#include <cstdint>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "inet/wininet/BodyStage.h"
#include "inet/wininet/ProxyConfig.h"

namespace wininet {

// Redirects followed inside one request before it fails with ERROR_HTTP_REDIRECT_FAILED: enough
// for any sane chain of moves, few enough to end a loop between two servers quickly.
constexpr int kMaxRedirects = 10;

// Everything a transfer needs, gathered from the request and its parents.
struct TransferSetup {
    std::string url;
    std::string host;  // the server named to InternetConnectA, for the name-resolving event
    std::string verb;
    bool http10 = true;
    bool followRedirects = true;
    std::string userAgent;
    std::string referrer;
    ProxyConfig proxy;
    std::string serverUser, serverPassword;
    std::string caFile;
    uint32_t connectTimeoutMs = 0;
    uint32_t receiveTimeoutMs = 0;
    std::vector<std::string> headerLines;  // "Name: value", without line ends
    // Borrowed: the caller's bytes, read as they are sent; KeepBody copies them when the send
    // returns before they are all out. A streamed body has none: the caller writes its
    // `bodyLength` bytes with Write.
    std::string_view body;
    uint64_t bodyLength = 0;
    bool streamed = false;
    int redirects = 0;  // followed before this transfer, for a request started again
    // Status events (status, info, info length); called on the calling thread.
    std::function<void(uint32_t, void*, uint32_t)> report;
    // Set when the request handle is closed: the waiting call gives up.
    const std::atomic<bool>* cancelled = nullptr;
};

class Transfer {
  public:
    // A transfer ready to start, or null with `*error` set.
    static std::unique_ptr<Transfer> Create(TransferSetup setup, uint32_t* error);
    ~Transfer();
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    // Runs until the headers of the final response are in: 0, or the error that ended it.
    uint32_t AwaitHeaders();
    // The final response's header block, CR LF lines closed by an empty line.
    const std::string& Headers() const { return headers_; }
    // True once the final response's headers are in (AwaitHeaders succeeded).
    bool HeadersReady() const { return headersDone_; }
    long Status() const { return status_; }
    // A streamed body that the caller may still write (started, not yet ended).
    bool BodyOpen() const { return bodyOpen_; }

    // Waits until body bytes are at hand or the body has ended; 0 with their count in
    // `*available` (0 at the end), or the error that broke the body off.
    uint32_t AwaitBody(std::size_t* available);
    // Takes up to `size` bytes that are at hand.
    std::size_t Read(void* buffer, std::size_t size);
    // Takes up to `size` bytes, waiting for the first when none are at hand (libcurl then writes
    // them straight into `buffer`): 0 with their count in `*count` (0 at the end), or the error
    // that broke the body off.
    uint32_t ReadInto(void* buffer, std::size_t size, std::size_t* count);

    // Streamed body: sends `size` bytes from `bytes` and returns once libcurl has taken them
    // all: 0 or the error that ended the exchange (bytes the server no longer waits for, after
    // its whole answer, are dropped).
    uint32_t Write(const void* bytes, std::size_t size);
    // Streamed body: the caller has written it all; runs as AwaitHeaders. A redirect that needs
    // the body again ends with ERROR_INTERNET_FORCE_RETRY and TakeRetry's setup.
    uint32_t EndBody();
    // The setup of the request to start again after a redirect took a streamed body, once.
    std::optional<TransferSetup> TakeRetry();

    // The call that lent the body returns: what libcurl has yet to send is copied so that it no
    // longer depends on the caller's bytes.
    void KeepBody();

    // Wakes a Pump waiting on another thread so that it sees `cancelled`. Any thread.
    void Wake();

  private:
    using Clock = std::chrono::steady_clock;

    explicit Transfer(TransferSetup setup);
    uint32_t Configure();
    // headerList_ anew from the setup's lines; false when memory runs out.
    bool BuildHeaderList();
    // Points the exchange at `url`, with the proxy of its scheme.
    CURLcode Aim(const std::string& url);
    // Starts the request that the redirect just read leads to: 0 or an error number.
    uint32_t FollowRedirect();
    // Drives the exchange until `ready()` holds, the exchange ends, or it is cancelled or timed
    // out; answers 0 or the error of the end.
    uint32_t Pump(const std::function<bool()>& ready);
    void Finish(uint32_t error);
    // The error number of an exchange that libcurl ended with `result`.
    uint32_t ErrorOfEnd(CURLcode result) const;
    std::size_t Unread() const { return stage_.Unread(); }
    // Where the redirect being followed leads, as an absolute URL.
    std::string RedirectTarget() const;

    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    static size_t OnBody(char* data, size_t size, size_t count, void* self);
    static size_t OnRead(char* buffer, size_t size, size_t count, void* self);
    static int OnSeek(void* self, curl_off_t offset, int origin);
    static curl_socket_t OnOpenSocket(void* self, curlsocktype purpose, curl_sockaddr* address);
    static int OnPrerequest(void* self, char* serverIp, char* localIp, int serverPort,
                            int localPort);
    static int OnProgress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t,
                          curl_off_t uploaded);

    TransferSetup setup_;
    CURLM* multi_ = nullptr;
    CURL* easy_ = nullptr;
    curl_slist* headerList_ = nullptr;

    std::string keptBody_;      // the body once KeepBody copied it
    uint64_t bodyOffset_ = 0;   // the next byte of the body libcurl reads
    std::string_view pending_;  // written bytes libcurl has yet to take
    bool sendPaused_ = false;   // libcurl waits for the caller to write
    bool retry_ = false;
    bool bodyOpen_ = false;
    uint64_t announced_ = 0;  // a streamed body's length
    uint64_t written_ = 0;    // of it, by the caller

    std::string headers_;
    long status_ = 0;
    bool sentReported_ = false;  // the request of this hop was reported as sent
    bool headersDone_ = false;
    bool redirectPending_ = false;  // the response being read is a redirect to follow
    std::string redirectTarget_;
    int redirects_ = 0;
    std::string location_;  // of the response being read

    BodyStage stage_;
    bool paused_ = false;
    // The buffer of a reader waiting in ReadInto, its room and the bytes put there.
    char* direct_ = nullptr;
    std::size_t directRoom_ = 0;
    std::size_t directCount_ = 0;

    bool done_ = false;
    uint32_t error_ = 0;

    bool connected_ = false;
    Clock::time_point lastActivity_;
    curl_off_t progressSeen_ = -1;
};

}  // namespace wininet
