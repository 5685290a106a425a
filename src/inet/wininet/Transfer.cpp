#include "inet/wininet/Transfer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>

#include "inet/wininet/ErrorMap.h"
#include "inet/wininet/WinInetApi.h"
#include "platform/Decimal.h"
#include "platform/PercentCoding.h"

namespace wininet {

namespace {

// libcurl's receive buffer, lent to each transfer of a thread: large enough that a fast
// download takes few system calls.
constexpr long kReceiveBufferSize = 256 * 1024;
// libcurl, paused when the stage was full, resumes once what it holds back fits.
constexpr std::size_t kResumeBelow = BodyStage::kLimit - kReceiveBufferSize;
static_assert(kReceiveBufferSize < BodyStage::kLimit, "a piece always fits an empty stage");
// The longest single wait of Pump when no time-out is nearer.
constexpr long kLongestWaitMs = 1000;

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    return strncasecmp(text.c_str(), prefix, std::strlen(prefix)) == 0;
}

bool IsNumericHost(const std::string& host) {
    unsigned char address[sizeof(in6_addr)];
    return inet_pton(AF_INET, host.c_str(), address) == 1 ||
           inet_pton(AF_INET6, host.c_str(), address) == 1;
}

bool HasHeader(const std::vector<std::string>& lines, const char* name) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return StartsWithNoCase(line, name); });
}

// Scheme, host and port of a URL, lower case, the port written even when it is the default.
std::string OriginOf(const std::string& url) {
    std::string origin;
    CURLU* parsed = curl_url();
    if (parsed != nullptr && curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK) {
        for (const CURLUPart part : {CURLUPART_SCHEME, CURLUPART_HOST, CURLUPART_PORT}) {
            char* text = nullptr;
            if (curl_url_get(parsed, part, &text, CURLU_DEFAULT_PORT) == CURLUE_OK) {
                origin += text;
            }
            origin += ' ';
            curl_free(text);
        }
    }
    curl_url_cleanup(parsed);
    for (char& c : origin) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return origin;
}

// Header lines that carry credentials for the server the request was made to.
bool IsCredentialLine(const std::string& line) {
    return StartsWithNoCase(line, "Authorization:") || StartsWithNoCase(line, "Cookie:") ||
           StartsWithNoCase(line, "Proxy-Authorization:");
}

std::string AddressText(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = "";
    if (address->sa_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text,
                  sizeof text);
    } else if (address->sa_family == AF_INET6) {
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text,
                  sizeof text);
    }
    return text;
}

// What the transfers of one thread reuse: the multi handle and the stage's memory. A thread
// keeps at most one set. The easy handle is not lent again: libcurl 7.88 keeps a pointer to the
// last header it stored after a reset has freed it, and an answer whose first header line is a
// continuation then writes through that pointer (a server could corrupt the client's memory).
// A fresh handle has none; its receive buffer comes from memory the last one gave back.
struct Spare {
    CURLM* multi = nullptr;
    BodyStage stage;
    Spare() = default;
    Spare(const Spare&) = delete;
    Spare& operator=(const Spare&) = delete;
    ~Spare() {
        if (multi != nullptr) {
            curl_multi_cleanup(multi);
        }
    }
};
thread_local std::unique_ptr<Spare> spare;

}  // namespace

Transfer::Transfer(TransferSetup setup) : setup_(std::move(setup)) {}

Transfer::~Transfer() {
    if (multi_ != nullptr && easy_ != nullptr) {
        curl_multi_remove_handle(multi_, easy_);
    }
    if (easy_ != nullptr) {
        curl_easy_cleanup(easy_);
    }
    curl_slist_free_all(headerList_);
    if (spare == nullptr && multi_ != nullptr) {
        spare.reset(new (std::nothrow) Spare);
        if (spare != nullptr) {
            spare->multi = multi_;
            stage_.Clear();
            spare->stage = std::move(stage_);
            return;
        }
    }
    if (multi_ != nullptr) {
        curl_multi_cleanup(multi_);
    }
}

std::unique_ptr<Transfer> Transfer::Create(TransferSetup setup, uint32_t* error) {
    std::unique_ptr<Transfer> transfer(new Transfer(std::move(setup)));
    *error = transfer->Configure();
    if (*error != ERROR_SUCCESS) {
        return nullptr;
    }
    return transfer;
}

uint32_t Transfer::Configure() {
    if (spare != nullptr) {
        multi_ = spare->multi;
        stage_ = std::move(spare->stage);
        spare->multi = nullptr;
        spare.reset();
    } else {
        multi_ = curl_multi_init();
    }
    easy_ = curl_easy_init();
    if (multi_ == nullptr || easy_ == nullptr) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    CURL* e = easy_;
    CURLcode rc = CURLE_OK;
    auto set = [&](CURLoption option, auto value) {
        if (rc == CURLE_OK) {
            rc = curl_easy_setopt(e, option, value);
        }
    };
    if (rc == CURLE_OK) {
        rc = Aim(setup_.url);
    }
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    // Redirects are followed here, not by libcurl: each hop takes the proxy of its own scheme.
    set(CURLOPT_FOLLOWLOCATION, 0L);
    set(CURLOPT_HTTP_VERSION,
        setup_.http10 ? long{CURL_HTTP_VERSION_1_0} : long{CURL_HTTP_VERSION_1_1});
    // The caller decodes the body (Content-Encoding stays as the server sent it).
    set(CURLOPT_HTTP_CONTENT_DECODING, 0L);
    set(CURLOPT_NOSIGNAL, 1L);
#if CURL_AT_LEAST_VERSION(7, 87, 0)
    // A transfer closed while its name is still being looked up lets the lookup's thread
    // finish on its own instead of waiting for it: an Abort ends the request at once.
    set(CURLOPT_QUICK_EXIT, 1L);
#endif
    set(CURLOPT_BUFFERSIZE, kReceiveBufferSize);
    set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    if (!setup_.userAgent.empty()) {
        set(CURLOPT_USERAGENT, setup_.userAgent.c_str());
    }
    if (!setup_.referrer.empty()) {
        set(CURLOPT_REFERER, setup_.referrer.c_str());
    }
    if (setup_.proxy.hasBypass) {
        set(CURLOPT_NOPROXY, setup_.proxy.bypass.c_str());
    }
    // Basic only: the credentials go with the first request, so no 401 or 407 round trip
    // interleaves a second response with the one the caller reads.
    if (!setup_.proxy.user.empty()) {
        set(CURLOPT_PROXYUSERNAME, setup_.proxy.user.c_str());
        set(CURLOPT_PROXYPASSWORD, setup_.proxy.password.c_str());
        set(CURLOPT_PROXYAUTH, long{CURLAUTH_BASIC});
    }
    if (!setup_.serverUser.empty()) {
        set(CURLOPT_USERNAME, setup_.serverUser.c_str());
        set(CURLOPT_PASSWORD, setup_.serverPassword.c_str());
        set(CURLOPT_HTTPAUTH, long{CURLAUTH_BASIC});
    }
    if (!setup_.caFile.empty()) {
        set(CURLOPT_CAINFO, setup_.caFile.c_str());
    }
    if (setup_.connectTimeoutMs != 0) {
        set(CURLOPT_CONNECTTIMEOUT_MS, long{setup_.connectTimeoutMs});
    }

    if (setup_.verb == "HEAD") {
        set(CURLOPT_NOBODY, 1L);
    } else if (setup_.verb == "GET" && setup_.bodyLength == 0) {
        set(CURLOPT_HTTPGET, 1L);
    } else {
        if (setup_.verb != "POST") {
            set(CURLOPT_CUSTOMREQUEST, setup_.verb.c_str());
        }
        // libcurl reads the body from the caller's bytes as it sends them: no copy.
        set(CURLOPT_POST, 1L);
        set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(setup_.bodyLength));
        set(CURLOPT_READFUNCTION, &Transfer::OnRead);
        set(CURLOPT_READDATA, this);
        set(CURLOPT_SEEKFUNCTION, &Transfer::OnSeek);
        set(CURLOPT_SEEKDATA, this);
    }

    if (rc == CURLE_OK && !BuildHeaderList()) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    set(CURLOPT_HTTPHEADER, headerList_);

    set(CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
    set(CURLOPT_HEADERDATA, this);
    set(CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
    set(CURLOPT_WRITEDATA, this);
    set(CURLOPT_OPENSOCKETFUNCTION, &Transfer::OnOpenSocket);
    set(CURLOPT_OPENSOCKETDATA, this);
    set(CURLOPT_PREREQFUNCTION, &Transfer::OnPrerequest);
    set(CURLOPT_PREREQDATA, this);
    set(CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
    set(CURLOPT_XFERINFODATA, this);
    set(CURLOPT_NOPROGRESS, 0L);
    if (rc != CURLE_OK) {
        return ErrorFromCurl(rc, 0);
    }
    if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) {
        return ERROR_INTERNET_INTERNAL_ERROR;
    }
    if (!IsNumericHost(setup_.host)) {
        setup_.report(INTERNET_STATUS_RESOLVING_NAME, const_cast<char*>(setup_.host.c_str()),
                      static_cast<uint32_t>(setup_.host.size()));
    }
    lastActivity_ = Clock::now();
    redirects_ = setup_.redirects;
    bodyOpen_ = setup_.streamed;
    announced_ = setup_.streamed ? setup_.bodyLength : 0;
    return ERROR_SUCCESS;
}

bool Transfer::BuildHeaderList() {
    curl_slist_free_all(headerList_);
    headerList_ = nullptr;
    // libcurl's own additions that the caller did not ask for stay off the wire.
    std::vector<std::string> lines = setup_.headerLines;
    if (setup_.bodyLength > 0 && !HasHeader(lines, "Content-Type:")) {
        lines.push_back("Content-Type:");
    }
    if (!HasHeader(lines, "Expect:")) {
        lines.push_back("Expect:");
    }
    for (const std::string& line : lines) {
        curl_slist* grown = curl_slist_append(headerList_, line.c_str());
        if (grown == nullptr) {
            return false;
        }
        headerList_ = grown;
    }
    return true;
}

CURLcode Transfer::Aim(const std::string& url) {
    std::string scheme = "http";
    CURLU* parsed = curl_url();
    char* part = nullptr;
    if (parsed != nullptr && curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
        curl_url_get(parsed, CURLUPART_SCHEME, &part, 0) == CURLUE_OK) {
        scheme = part;
    }
    curl_free(part);
    curl_url_cleanup(parsed);
    CURLcode rc = curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
    if (rc == CURLE_OK) {
        // An explicit proxy, even "", keeps libcurl from reading the environment's variables.
        rc = curl_easy_setopt(easy_, CURLOPT_PROXY, setup_.proxy.For(scheme).c_str());
    }
    return rc;
}

uint32_t Transfer::FollowRedirect() {
    if (++redirects_ > kMaxRedirects) {
        return ERROR_HTTP_REDIRECT_FAILED;
    }
    char* current = nullptr;
    curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &current);
    // The server's credentials are for its own origin: another scheme, host or port gets
    // neither the user and password nor the caller's credential lines (the proxy's own go on).
    const bool otherOrigin =
        OriginOf(current != nullptr ? current : "") != OriginOf(redirectTarget_);
    // As browsers do: 303 turns any request into GET, 301 and 302 turn a POST into one.
    const bool toGet =
        setup_.verb != "HEAD" &&
        (status_ == 303 || ((status_ == 301 || status_ == 302) && setup_.verb == "POST"));
    if (toGet) {
        setup_.body = {};
        setup_.bodyLength = 0;
        setup_.streamed = false;
        setup_.verb = "GET";
    }
    if (otherOrigin) {
        setup_.serverUser.clear();
        setup_.serverPassword.clear();
        auto& lines = setup_.headerLines;
        lines.erase(std::remove_if(lines.begin(), lines.end(), IsCredentialLine), lines.end());
    }
    setup_.url = redirectTarget_;
    setup_.redirects = redirects_;
    if (setup_.streamed) {
        // The caller wrote the body and holds it: it starts the request again from here.
        retry_ = true;
        return ERROR_INTERNET_FORCE_RETRY;
    }
    curl_multi_remove_handle(multi_, easy_);
    // The next hop gets a handle of its own with the same options: libcurl 7.88 keeps a pointer
    // into the header store of the answer before, freed when the next one starts, and an answer
    // whose first header line is a continuation wrote through it.
    CURL* next = curl_easy_duphandle(easy_);
    if (next == nullptr) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    curl_easy_cleanup(easy_);
    easy_ = next;
    CURLcode rc = Aim(setup_.url);
    if (toGet && rc == CURLE_OK) {
        rc = curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, nullptr);
        if (rc == CURLE_OK) {
            rc = curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L);
        }
    }
    if (otherOrigin && rc == CURLE_OK) {
        rc = curl_easy_setopt(easy_, CURLOPT_USERNAME, nullptr);
        if (rc == CURLE_OK) {
            rc = curl_easy_setopt(easy_, CURLOPT_PASSWORD, nullptr);
        }
        if (rc == CURLE_OK && !BuildHeaderList()) {
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        if (rc == CURLE_OK) {
            rc = curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headerList_);
        }
    }
    if (rc != CURLE_OK) {
        return ErrorFromCurl(rc, 0);
    }
    // The next hop reads the body from its start again.
    bodyOffset_ = 0;
    redirectPending_ = false;
    sentReported_ = false;
    connected_ = false;  // until the next hop's server is reached
    if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) {
        return ERROR_INTERNET_INTERNAL_ERROR;
    }
    return ERROR_SUCCESS;
}

uint32_t Transfer::ErrorOfEnd(CURLcode result) const {
    // libcurl refuses an answer without a status line as a protocol it does not speak, and a
    // header line beyond its bound as memory running out: from a server that was reached and
    // has not finished its headers, both are an answer not understood.
    if (connected_ && !headersDone_ &&
        (result == CURLE_UNSUPPORTED_PROTOCOL || result == CURLE_OUT_OF_MEMORY)) {
        return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    }
    long verify = 0;
    curl_easy_getinfo(easy_, CURLINFO_SSL_VERIFYRESULT, &verify);
    return ErrorFromCurl(result, verify);
}

uint32_t Transfer::AwaitHeaders() {
    const uint32_t error = Pump([this] { return headersDone_; });
    // Headers that are in are the caller's even when the exchange failed right after them (a
    // body broken off that arrived with them): the failure shows when the body is read, as it
    // does when the break comes later.
    if (headersDone_) {
        return ERROR_SUCCESS;
    }
    return error != ERROR_SUCCESS ? error : ERROR_HTTP_INVALID_SERVER_RESPONSE;
}

uint32_t Transfer::AwaitBody(std::size_t* available) {
    *available = 0;
    const uint32_t error = Pump([this] { return Unread() > 0; });
    // Bytes that arrived before a failure are still the caller's.
    if (Unread() > 0) {
        *available = Unread();
        return ERROR_SUCCESS;
    }
    return error;
}

uint32_t Transfer::ReadInto(void* buffer, std::size_t size, std::size_t* count) {
    *count = Read(buffer, size);
    if (*count > 0 || size == 0) {
        return ERROR_SUCCESS;
    }
    // Nothing waits on the stage: libcurl writes straight into the reader's buffer.
    direct_ = static_cast<char*>(buffer);
    directRoom_ = size;
    directCount_ = 0;
    const uint32_t error = Pump([this] { return directCount_ > 0 || Unread() > 0; });
    direct_ = nullptr;
    *count = directCount_ > 0 ? directCount_ : Read(buffer, size);
    // Bytes that arrived before a failure are still the caller's.
    return *count > 0 ? ERROR_SUCCESS : error;
}

std::size_t Transfer::Read(void* buffer, std::size_t size) {
    const std::size_t count = stage_.Take(buffer, size);
    if (paused_ && Unread() <= kResumeBelow) {
        paused_ = false;
        lastActivity_ = Clock::now();
        curl_easy_pause(easy_, CURLPAUSE_CONT);
    }
    return count;
}

uint32_t Transfer::Write(const void* bytes, std::size_t size) {
    if (size > announced_ - written_) {
        return ERROR_INVALID_PARAMETER;
    }
    written_ += size;
    // A redirect that turned the request into a GET, or an answer that came early, no longer
    // wants the bytes; one that wants the body again is EndBody's answer.
    if (!setup_.streamed || headersDone_ || done_) {
        return done_ && !retry_ ? error_ : ERROR_SUCCESS;
    }
    pending_ = std::string_view(static_cast<const char*>(bytes), size);
    lastActivity_ = Clock::now();
    if (sendPaused_) {
        sendPaused_ = false;
        curl_easy_pause(easy_, paused_ ? CURLPAUSE_RECV : CURLPAUSE_CONT);
    }
    const uint32_t error = Pump([this] { return pending_.empty() || headersDone_; });
    pending_ = {};
    return retry_ ? uint32_t{ERROR_SUCCESS} : error;
}

uint32_t Transfer::EndBody() {
    if (written_ < announced_) {
        return ERROR_INVALID_PARAMETER;
    }
    bodyOpen_ = false;
    const uint32_t error = AwaitHeaders();
    return retry_ ? uint32_t{ERROR_INTERNET_FORCE_RETRY} : error;
}

std::optional<TransferSetup> Transfer::TakeRetry() {
    if (!retry_) {
        return std::nullopt;
    }
    retry_ = false;
    return std::move(setup_);
}

void Transfer::KeepBody() {
    if (!setup_.streamed && !done_ && keptBody_.empty() && bodyOffset_ < setup_.body.size()) {
        keptBody_.assign(setup_.body);
        setup_.body = keptBody_;
    }
}

size_t Transfer::OnRead(char* buffer, size_t size, size_t count, void* self) {
    Transfer& t = *static_cast<Transfer*>(self);
    std::string_view from =
        t.setup_.body.substr(std::min<uint64_t>(t.bodyOffset_, t.setup_.body.size()));
    if (t.setup_.streamed) {
        if (t.pending_.empty()) {
            t.sendPaused_ = true;
            return CURL_READFUNC_PAUSE;
        }
        from = t.pending_;
    }
    const std::size_t n = std::min(size * count, from.size());
    std::memcpy(buffer, from.data(), n);
    t.bodyOffset_ += n;
    if (t.setup_.streamed) {
        t.pending_.remove_prefix(n);
    }
    return n;
}

int Transfer::OnSeek(void* self, curl_off_t offset, int origin) {
    Transfer& t = *static_cast<Transfer*>(self);
    if (t.setup_.streamed || origin != SEEK_SET || offset < 0 ||
        std::size_t(offset) > t.setup_.body.size()) {
        return CURL_SEEKFUNC_CANTSEEK;
    }
    t.bodyOffset_ = static_cast<std::size_t>(offset);
    return CURL_SEEKFUNC_OK;
}

void Transfer::Wake() {
    curl_multi_wakeup(multi_);
}

void Transfer::Finish(uint32_t error) {
    if (!done_) {
        done_ = true;
        error_ = error;
    }
}

uint32_t Transfer::Pump(const std::function<bool()>& ready) {
    while (!ready() && !done_) {
        if (setup_.cancelled != nullptr && setup_.cancelled->load()) {
            Finish(ERROR_INTERNET_OPERATION_CANCELLED);
            break;
        }
        int running = 0;
        if (curl_multi_perform(multi_, &running) != CURLM_OK) {
            Finish(ERROR_INTERNET_INTERNAL_ERROR);
            break;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
            if (message->msg != CURLMSG_DONE) {
                continue;
            }
            if (message->data.result == CURLE_OK && redirectPending_) {
                const uint32_t error = FollowRedirect();
                if (error != ERROR_SUCCESS) {
                    Finish(error);
                }
                break;  // the handle went out and in again: read the queue anew
            }
            Finish(ErrorOfEnd(message->data.result));
        }
        if (ready() || done_) {
            break;
        }
        long waitMs = kLongestWaitMs;
        if (connected_ && setup_.receiveTimeoutMs != 0 && !paused_) {
            const auto idle =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastActivity_)
                    .count();
            if (idle >= setup_.receiveTimeoutMs) {
                Finish(ERROR_INTERNET_TIMEOUT);
                break;
            }
            waitMs = std::min<long>(waitMs, setup_.receiveTimeoutMs - idle);
        }
        curl_multi_poll(multi_, nullptr, 0, static_cast<int>(waitMs), nullptr);
    }
    return done_ ? error_ : ERROR_SUCCESS;
}

size_t Transfer::OnHeader(char* data, size_t size, size_t count, void* self) {
    Transfer& t = *static_cast<Transfer*>(self);
    std::string line(data, size * count);
    t.lastActivity_ = Clock::now();
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    if (line.compare(0, 5, "HTTP/") == 0) {
        // A new response: the one before it was an interim or a followed redirect, and only
        // the last one's headers are the caller's.
        if (!t.sentReported_) {
            t.sentReported_ = true;
            curl_off_t requestSize = 0;
            curl_easy_getinfo(t.easy_, CURLINFO_REQUEST_SIZE, &requestSize);
            uint32_t sent = static_cast<uint32_t>(requestSize + t.setup_.bodyLength);
            t.setup_.report(INTERNET_STATUS_REQUEST_SENT, &sent, sizeof sent);
        }
        t.headers_.clear();
        t.redirectPending_ = false;
        t.location_.clear();
        const std::size_t space = line.find(' ');
        t.status_ = space == std::string::npos
                        ? 0
                        : LeadingDecimal(std::string_view(line).substr(space),
                                         std::numeric_limits<long>::min(),
                                         std::numeric_limits<long>::max());
    } else if (line.empty()) {
        t.headers_ += "\r\n";
        // A 3xx answer that names a Location is followed; it is not, like an interim 1xx, the
        // one the caller reads.
        const bool interim = t.status_ >= 100 && t.status_ < 200;
        const bool followed =
            t.setup_.followRedirects && t.status_ >= 300 && t.status_ < 400 && !t.location_.empty();
        if (followed) {
            t.redirectPending_ = true;
            t.redirectTarget_ = t.RedirectTarget();
            t.setup_.report(INTERNET_STATUS_REDIRECT, t.redirectTarget_.data(),
                            static_cast<uint32_t>(t.redirectTarget_.size()));
        } else if (!interim) {
            t.headersDone_ = true;
        }
        return size * count;
    } else if (StartsWithNoCase(line, "Location:")) {
        t.location_ = line.substr(std::strlen("Location:"));
        t.location_.erase(0, t.location_.find_first_not_of(" \t"));
        t.location_.erase(t.location_.find_last_not_of(" \t") + 1);
    }
    t.headers_ += line;
    t.headers_ += "\r\n";
    return size * count;
}

std::string Transfer::RedirectTarget() const {
    char* current = nullptr;
    curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &current);
    // Blanks, control bytes and bytes above 127 of a Location never reach a request line as
    // the server wrote them.
    const std::string location = PercentEncodeUnsafe(location_);
    std::string target = location;
    CURLU* url = curl_url();
    char* resolved = nullptr;
    if (url != nullptr && current != nullptr &&
        curl_url_set(url, CURLUPART_URL, current, 0) == CURLUE_OK &&
        curl_url_set(url, CURLUPART_URL, location.c_str(), 0) == CURLUE_OK &&
        curl_url_get(url, CURLUPART_URL, &resolved, 0) == CURLUE_OK) {
        target = resolved;
    }
    curl_free(resolved);
    curl_url_cleanup(url);
    return target;
}

size_t Transfer::OnBody(char* data, size_t size, size_t count, void* self) {
    Transfer& t = *static_cast<Transfer*>(self);
    const std::size_t bytes = size * count;
    if (t.redirectPending_) {
        return bytes;  // the redirect's own page is of no use
    }
    t.headersDone_ = true;
    t.lastActivity_ = Clock::now();
    // A reader waiting with its buffer takes what fits there, in order: only while nothing is
    // staged before these bytes.
    std::size_t direct = 0;
    if (t.direct_ != nullptr && t.Unread() == 0) {
        direct = std::min(bytes, t.directRoom_ - t.directCount_);
        std::memcpy(t.direct_ + t.directCount_, data, direct);
        t.directCount_ += direct;
    }
    if (direct == bytes) {
        return bytes;
    }
    switch (t.stage_.Append(data + direct, bytes - direct)) {
        case BodyStage::Put::kTaken:
            break;
        case BodyStage::Put::kFull:
            // Only with bytes staged, so none of these went to the reader.
            t.paused_ = true;
            return CURL_WRITEFUNC_PAUSE;
        case BodyStage::Put::kNoMemory:
            t.Finish(ERROR_NOT_ENOUGH_MEMORY);
            return 0;  // libcurl ends the transfer; the error stays the one given here
    }
    return bytes;
}

curl_socket_t Transfer::OnOpenSocket(void* self, curlsocktype purpose, curl_sockaddr* address) {
    Transfer& t = *static_cast<Transfer*>(self);
    if (purpose == CURLSOCKTYPE_IPCXN) {
        std::string text = AddressText(&address->addr);
        t.setup_.report(INTERNET_STATUS_NAME_RESOLVED, text.data(),
                        static_cast<uint32_t>(text.size()));
        t.setup_.report(INTERNET_STATUS_CONNECTING_TO_SERVER, text.data(),
                        static_cast<uint32_t>(text.size()));
    }
    return socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

int Transfer::OnPrerequest(void* self, char* serverIp, char*, int, int) {
    Transfer& t = *static_cast<Transfer*>(self);
    t.connected_ = true;
    t.lastActivity_ = Clock::now();
    t.setup_.report(INTERNET_STATUS_CONNECTED_TO_SERVER, serverIp,
                    static_cast<uint32_t>(std::strlen(serverIp)));
    t.setup_.report(INTERNET_STATUS_SENDING_REQUEST, nullptr, 0);
    return CURL_PREREQFUNC_OK;
}

int Transfer::OnProgress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t,
                         curl_off_t uploaded) {
    Transfer& t = *static_cast<Transfer*>(self);
    // A request body on its way counts as activity for the receive time-out too.
    if (downloaded + uploaded != t.progressSeen_) {
        t.progressSeen_ = downloaded + uploaded;
        t.lastActivity_ = Clock::now();
    }
    return t.setup_.cancelled != nullptr && t.setup_.cancelled->load() ? 1 : 0;
}

}  // namespace wininet
