// The socket client through the public interface against a scripted server on 127.0.0.1: the
// request bytes, the event sequences, the result codes, redirects, abort and time-outs.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "ClientFixture.h"
#include "GzipBytes.h"
#include "PieceSource.h"
#include "SameBytes.h"
#include "support/LoopbackServers.h"
#include "support/RawServer.h"

namespace {

const std::string kOk = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nhello";

std::string Port(uint16_t port) {
    return std::to_string(port);
}

TEST_F(ClientTest, RequestBytesAreExact) {
    struct Case {
        const char* name;
        int proxy;
        int auth;
        const char* host;  // null: the server itself
        uint32_t port;     // 0: the server's port
        const char* verb;
        const char* path;
        std::string headers;
        std::string body;
        std::string expected;  // "{P}": the server's port
    };
    const std::string big(100000, 'b');
    const Case cases[] = {
        {"plain get", 0, 0, nullptr, 0, "GET", "/a?b", "", "",
         "GET /a?b HTTP/1.0\r\nHost: 127.0.0.1:{P}\r\n\r\n"},
        {"blank line of the block is the request's", 0, 0, nullptr, 0, "GET", "/",
         "X-A: 1\r\n\r\nX-B: 2\r\n", "", "GET / HTTP/1.0\r\nX-A: 1\r\nHost: 127.0.0.1:{P}\r\n\r\n"},
        {"last line without its end", 0, 0, nullptr, 0, "POST", "/", "X-A: 1", "abc",
         "POST / HTTP/1.0\r\nX-A: 1\r\nHost: 127.0.0.1:{P}\r\nContent-Length: 3\r\n\r\nabc"},
        {"block of a blank line only", 0, 0, nullptr, 0, "GET", "/", "\r\n", "",
         "GET / HTTP/1.0\r\nHost: 127.0.0.1:{P}\r\n\r\n"},
        {"lines ended by LF alone", 0, 0, nullptr, 0, "GET", "/", "X-A: 1\nX-B: 2\n", "",
         "GET / HTTP/1.0\r\nX-A: 1\r\nX-B: 2\r\nHost: 127.0.0.1:{P}\r\n\r\n"},
        {"caller's Host kept", 0, 0, nullptr, 0, "GET", "/", "Host: name.example\r\n", "",
         "GET / HTTP/1.0\r\nHost: name.example\r\n\r\n"},
        {"no proxy password to a server reached directly", 0, 1, nullptr, 0, "GET", "/",
         "X-A: 1\r\n", "", "GET / HTTP/1.0\r\nX-A: 1\r\nHost: 127.0.0.1:{P}\r\n\r\n"},
        {"proxy with authorization", 1, 1, "example.invalid", 8080, "GET", "/a?b", "X-A: 1\r\n\r\n",
         "",
         "GET http://example.invalid:8080/a?b HTTP/1.0\r\nX-A: 1\r\n"
         "Proxy-Authorization: Basic dXNlcjpwYXNz\r\n\r\n"},
        {"proxy without authorization, port 80 written", 1, 0, "example.invalid", 80, "HEAD", "/",
         "", "", "HEAD http://example.invalid:80/ HTTP/1.0\r\n\r\n"},
        {"proxy, IPv6 host in brackets", 1, 0, "::1", 81, "GET", "/", "", "",
         "GET http://[::1]:81/ HTTP/1.0\r\n\r\n"},
        {"body gets its length", 0, 0, nullptr, 0, "POST", "/p", "Content-Type: text/plain\r\n",
         "abc",
         "POST /p HTTP/1.0\r\nContent-Type: text/plain\r\nHost: 127.0.0.1:{P}\r\n"
         "Content-Length: 3\r\n\r\nabc"},
        {"empty post gets a length of 0", 0, 0, nullptr, 0, "POST", "/p", "", "",
         "POST /p HTTP/1.0\r\nHost: 127.0.0.1:{P}\r\nContent-Length: 0\r\n\r\n"},
        {"caller's length kept", 0, 0, nullptr, 0, "PUT", "/p", "content-length: 3\r\n", "abc",
         "PUT /p HTTP/1.0\r\ncontent-length: 3\r\nHost: 127.0.0.1:{P}\r\n\r\nabc"},
        {"large body sent whole", 0, 0, nullptr, 0, "POST", "/big", "", big,
         "POST /big HTTP/1.0\r\nHost: 127.0.0.1:{P}\r\nContent-Length: 100000\r\n\r\n" + big},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server({{kOk}});
        auto request = MakeRequest(c.proxy, "127.0.0.1", server.port(), c.auth, "user", "pass");
        const uint32_t port = c.port != 0 ? c.port : server.port();
        Outcome out = Exchange(*request, c.host ? c.host : "127.0.0.1", port, c.path, c.headers,
                               c.verb, c.body);
        EXPECT_EQ(0u, out.result);
        EXPECT_EQ("hello", out.Body());
        std::string expected = c.expected;
        for (size_t at; (at = expected.find("{P}")) != std::string::npos;) {
            expected.replace(at, 3, Port(server.port()));
        }
        ASSERT_EQ(1u, server.Requests().size());
        EXPECT_TRUE(SameBytes(expected, server.Requests()[0]))
            << server.Requests()[0].substr(0, 200);
    }
}

TEST_F(ClientTest, EventSequences) {
    RawServer server({{"HTTP/1.0 302 Found\r\nLocation: /next\r\n\r\n"}, {kOk}});
    const std::string port = Port(server.port());
    const std::string sent =
        std::to_string(strlen("GET / HTTP/1.0\r\nHost: 127.0.0.1:\r\n\r\n") + port.size());
    const std::string got302 =
        std::to_string(strlen("HTTP/1.0 302 Found\r\nLocation: /next\r\n\r\n"));
    const std::string got200 = std::to_string(kOk.size());
    const std::string sent2 = std::to_string(std::stoul(sent) + 4);
    struct Case {
        const char* name;
        const char* host;
        uint32_t port;
        uint32_t result;
        std::vector<Event> events;
    };
    const Case cases[] = {
        {"redirect followed, then success",
         "127.0.0.1",
         server.port(),
         0,
         {{60, ""},
          {11, "127.0.0.1"},
          {20, "127.0.0.1"},
          {21, "127.0.0.1"},
          {30, ""},
          {31, sent},
          {40, ""},
          {40, got302},
          {41, got302},
          {50, ""},
          {51, ""},
          {70, ""},
          {110, "http://127.0.0.1:" + port + "/next"},
          {60, ""},
          {11, "127.0.0.1"},
          {20, "127.0.0.1"},
          {21, "127.0.0.1"},
          {30, ""},
          {31, sent2},
          {40, ""},
          {40, got200},
          {41, got200},
          {50, ""},
          {51, ""},
          {70, ""}}},
        {"name lookup fails", "a..b", 80, 11001, {{60, ""}, {10, "a..b"}}},
        {"connection refused",
         "127.0.0.1",
         static_cast<uint32_t>(FreeLoopbackPort()),
         10061,
         {{60, ""}, {11, "127.0.0.1"}, {20, "127.0.0.1"}, {50, ""}, {51, ""}, {70, ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto request = MakeRequest();
        Outcome out = Exchange(*request, c.host, c.port, "/");
        EXPECT_EQ(c.result, out.result);
        EXPECT_EQ(c.events, EventRecorder::Of(request.get()).Events());
    }
}

// Events carry the socket as their handle until it is closed, then the invalid-socket value.
TEST_F(ClientTest, EventHandlesAreTheSocketThenInvalid) {
    RawServer server({RawReply::Plain(kOk)});
    auto request = MakeRequest();
    ASSERT_EQ(0u, Exchange(*request, "127.0.0.1", server.port(), "/").result);
    const std::vector<Event> events = EventRecorder::Of(request.get()).Events();
    const std::vector<void*> handles = EventRecorder::Of(request.get()).Handles();
    void* const invalid = reinterpret_cast<void*>(~uintptr_t(0));
    ASSERT_EQ(events.size(), handles.size());
    ASSERT_GE(handles.size(), 3u);
    for (size_t i = 0; i < events.size(); ++i) {
        SCOPED_TRACE(events[i].status);
        const bool closed = events[i].status == 51 || events[i].status == 70;
        EXPECT_EQ(closed ? invalid : handles[0], handles[i]);
    }
    EXPECT_NE(invalid, handles[0]);
}

TEST_F(ClientTest, NamedHostIsResolvedWithItsEvents) {
    RawServer server({{kOk}});
    auto request = MakeRequest();
    Outcome out = Exchange(*request, "localhost", server.port(), "/");
    EXPECT_EQ(0u, out.result);
    const std::vector<Event> events = EventRecorder::Of(request.get()).Events();
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ((Event{10, "localhost"}), events[1]);
    EXPECT_EQ((Event{11, "127.0.0.1"}), events[2]);
}

TEST_F(ClientTest, ResultCodesByResponse) {
    const std::string gz = GzipBytes("decoded text");
    struct Case {
        const char* name;
        RawReply reply;
        uint32_t result;
        std::string headers;  // expected header block; "-": no outputs
        std::string body;
        const char* verb = "GET";
    };
    const std::vector<Case> cases = {
        {"success", RawReply::Plain(kOk), 0, "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n",
         "hello"},
        {"no blank line after the headers", RawReply::Plain("HTTP/1.0 200 OK\r\nX: y\r\n"), 10054,
         "-", ""},
        {"header lines without end",
         RawReply::Endless("HTTP/1.0 200 OK\r\n", "X-Fill: " + std::string(100, 'a') + "\r\n", 0),
         10054, "-", ""},
        {"status without reason, gzip decoded",
         RawReply::Plain("HTTP/1.0 200\r\nContent-Encoding: gzip\r\n\r\n" + gz), 0,
         "HTTP/1.0 200\r\nContent-Length: 12\r\n\r\n", "decoded text"},
        {"not found", RawReply::Plain("HTTP/1.0 404 Not Found\r\n\r\nmissing"), 12003,
         "HTTP/1.0 404 Not Found\r\n\r\n", "missing"},
        {"authentication asked",
         RawReply::Plain("HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic\r\n\r\nno"), 0,
         "HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic\r\n\r\n", "no"},
        {"unreadable status line", RawReply::Plain("FOO\r\n\r\nbar"), 12152, "FOO\r\n\r\n", "bar"},
        {"a NUL in the header block",
         RawReply::Plain(std::string("HTTP/1.0 200 OK\r\n\0X: y\r\n\r\nbar", 29)), 12152,
         std::string("HTTP/1.0 200 OK\r\n\0X: y\r\n\r\n", 26), "bar"},
        {"a length of 4 GiB claimed, 3 bytes sent",
         RawReply::Plain("HTTP/1.0 200 OK\r\nContent-Length: 4294967296\r\n\r\nabc"), 10054,
         "HTTP/1.0 200 OK\r\nContent-Length: 4294967296\r\n\r\n", "abc"},
        {"closed before its length",
         RawReply::Plain("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nhello"), 10054,
         "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n", "hello"},
        {"whole to its length, and beyond it",
         RawReply::Plain("HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nhello"), 0,
         "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\n", "hel"},
        {"a HEAD answer gives the length of a body it has not",
         RawReply::Plain("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n"), 0,
         "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n", "", "HEAD"},
        {"trickling body", RawReply::Trickle(kOk + std::string(3000, 't'), 500, 5), 0,
         "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n", "hello" + std::string(3000, 't')},
        {"reset in mid-body", RawReply::ResetAfter("HTTP/1.0 200 OK\r\n\r\npartial"), 10054,
         "HTTP/1.0 200 OK\r\n\r\n", "partial"},
        {"redirect without location", RawReply::Plain("HTTP/1.0 302 Found\r\n\r\n"), 12003,
         "HTTP/1.0 302 Found\r\n\r\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server({c.reply});
        auto request = MakeRequest();
        Outcome out = Exchange(*request, "127.0.0.1", server.port(), "/", "", c.verb);
        EXPECT_EQ(c.result, out.result) << QuarInetGetErrorDescription(out.result);
        if (c.headers == "-") {
            EXPECT_EQ(nullptr, out.headers);
            EXPECT_EQ(nullptr, out.body);
            continue;
        }
        EXPECT_EQ(c.headers, out.Headers());
        EXPECT_EQ(c.body, out.Body());
        EXPECT_EQ(c.result == 0 ? strlen(out.headers.get()) : c.headers.size(), out.headersLength);
    }
}

TEST_F(ClientTest, BodyFromTheCallersSourceAsItIsSent) {
    const std::string head = "POST /p HTTP/1.0\r\nHost: 127.0.0.1:{P}\r\nContent-Length: ";
    struct Case {
        const char* name;
        std::vector<std::string> pieces;
        uint64_t length;
        uint32_t failAt;
        bool redirect;  // the first answer is a 307 to /q
        uint32_t result;
        std::vector<std::string> requests;  // "{P}": the server's port
        int rewinds;
    };
    const Case cases[] = {
        {"pieces in order", {"ab", "cd", "e"}, 5, 0, false, 0, {head + "5\r\n\r\nabcde"}, 0},
        {"bytes past the length stay", {"abc", "def"}, 4, 0, false, 0, {head + "4\r\n\r\nabcd"}, 0},
        {"a source that ends early",
         {"abc"},
         10,
         0,
         false,
         QUARINET_ERROR_INVALID_PARAMETER,
         {},
         0},
        {"the source stops the send", {"abc", "def"}, 6, 2, false, 0x20000003, {}, 0},
        {"a redirect sends it again from its start",
         {"ab", "c"},
         3,
         0,
         true,
         0,
         {head + "3\r\n\r\nabc",
          "POST /q HTTP/1.0\r\nHost: 127.0.0.1:{P}\r\nContent-Length: 3\r\n\r\nabc"},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server(
            c.redirect ? std::vector<RawReply>{{"HTTP/1.0 307 T\r\nLocation: /q\r\n\r\n"}, {kOk}}
                       : std::vector<RawReply>{{kOk}});
        PieceSource pieces{c.pieces, 0, c.failAt};
        const QuarInetBodySource source{&pieces, c.length, &PieceSource::Next,
                                        &PieceSource::Rewind};
        auto request = MakeRequest();
        request->BodySource = &source;
        // The body Send is given is not the one sent.
        Outcome out = Exchange(*request, "127.0.0.1", server.port(), "/p", "", "POST", "ignored");
        EXPECT_EQ(c.result, out.result);
        EXPECT_EQ(c.rewinds, pieces.rewinds);
        if (c.requests.empty()) {
            continue;
        }
        const std::vector<std::string> got = server.Requests();
        ASSERT_EQ(c.requests.size(), got.size());
        for (size_t i = 0; i < got.size(); ++i) {
            std::string expected = c.requests[i];
            expected.replace(expected.find("{P}"), 3, Port(server.port()));
            EXPECT_TRUE(SameBytes(expected, got[i])) << got[i];
        }
    }
}

TEST_F(ClientTest, Redirects) {
    const std::string longPath(5000, 'x');
    struct Case {
        const char* name;
        const char* path;
        std::string location;
        uint32_t result;
        std::string secondRequestLine;  // empty: not followed
    };
    const Case cases[] = {
        {"path only keeps host and port", "/a/b", "/x?y", 0, "GET /x?y HTTP/1.0"},
        {"relative reference", "/dir/page?q", "sub/other", 0, "GET /dir/sub/other HTTP/1.0"},
        {"dot segments", "/a/b/c", "../d", 0, "GET /a/d HTTP/1.0"},
        {"absolute http", "/", "http://127.0.0.1:{PORT}/abs", 0, "GET /abs HTTP/1.0"},
        {"https is not reached over plain http", "/", "https://127.0.0.1:{PORT}/s", 12003, ""},
        {"a location cut by its room", "/", "/" + longPath, 12003, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string first = "HTTP/1.0 301 Moved\r\nLocation: " + c.location + "\r\n\r\nmoved";
        RawServer server({{first}, {kOk}});
        auto request = MakeRequest();
        Outcome out = Exchange(*request, "127.0.0.1", server.port(), c.path);
        EXPECT_EQ(c.result, out.result);
        const std::vector<std::string> requests = server.Requests();
        if (c.secondRequestLine.empty()) {
            EXPECT_EQ(1u, requests.size());
            EXPECT_EQ("moved", out.Body()) << "the redirect response is delivered as it came";
            continue;
        }
        ASSERT_EQ(2u, requests.size());
        EXPECT_EQ(c.secondRequestLine, requests[1].substr(0, requests[1].find("\r\n")));
        EXPECT_EQ("hello", out.Body());
    }
}

TEST_F(ClientTest, RedirectLoopEndsAtTheLimit) {
    RawServer server({{"HTTP/1.0 302 Found\r\nLocation: /again\r\n\r\nloop"}});
    auto request = MakeRequest();
    Outcome out = Exchange(*request, "127.0.0.1", server.port(), "/", "", "POST", "data");
    EXPECT_EQ(QUARINET_ERROR_REDIRECT_LIMIT, out.result);
    EXPECT_EQ("loop", out.Body());
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(11u, requests.size()) << "the first request and ten redirects";
    // Method and body travel again with every redirect.
    EXPECT_EQ("POST /again HTTP/1.0\r\nHost: 127.0.0.1:" + Port(server.port()) +
                  "\r\nContent-Length: 4\r\n\r\ndata",
              requests.back());
}

TEST_F(ClientTest, InvalidParametersAreRefused) {
    struct Case {
        const char* host;
        const char* verb;
        const char* path;
    };
    const Case cases[] = {
        {nullptr, "GET", "/"},           {"127.0.0.1", nullptr, "/"},
        {"127.0.0.1", "GET", nullptr},   {"127.0.0.1", "GET\r\nX: y", "/"},
        {"127.0.0.1", "GET", "/a\nb"},   {"127.0.0.1", "GET", "/a\rb"},
        {"127.0.0.1\r\nX:", "GET", "/"}, {"", "GET", "/"},
    };
    auto request = MakeRequest();
    for (const Case& c : cases) {
        EXPECT_EQ(QUARINET_ERROR_INVALID_PARAMETER,
                  request->Send(c.host, 80, c.verb, c.path, nullptr, 0, nullptr, 0));
    }
    EXPECT_STREQ("The parameter is incorrect.", QuarInetGetErrorDescription(87));
    char* h = nullptr;
    char* b = nullptr;
    uint32_t hl = 0, bl = 0;
    EXPECT_EQ(QUARINET_ERROR_NOT_CONNECTED, request->Receive(h, hl, b, bl));
    EXPECT_TRUE(EventRecorder::Of(request.get()).Events().empty());
}

TEST_F(ClientTest, PeerClosingEarlyIsAFailureNotASignal) {
    RawServer server({RawReply::HangUp()});
    auto request = MakeRequest();
    const std::string body(8 << 20, 'z');
    Outcome out = Exchange(*request, "127.0.0.1", server.port(), "/", "", "POST", body);
    EXPECT_TRUE(out.result == 10053 || out.result == 10054) << out.result;
}

TEST_F(ClientTest, ReceiveTimeOut) {
    RawServer server({RawReply::Silent()});
    auto request = MakeRequest();
    request->ReceiveTimeout = 200;
    const auto start = std::chrono::steady_clock::now();
    Outcome out = Exchange(*request, "127.0.0.1", server.port(), "/");
    EXPECT_EQ(QUARINET_ERROR_TIMED_OUT, out.result);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// The worker's thread handle while it waits for a silent server, and after Abort.
TEST_F(ClientTest, AbortEndsABlockedReceive) {
    RawServer server({RawReply::Silent()});
    auto request = MakeRequest();
    char* headers = reinterpret_cast<char*>(1);
    char* body = reinterpret_cast<char*>(1);
    uint32_t headersLength = 1, bodyLength = 1, result = 1;
    QuarInetThread thread =
        request->OpenUrl("127.0.0.1", server.port(), "GET", "/", nullptr, 0, nullptr, 0, &headers,
                         &headersLength, &body, &bodyLength, &result);
    ASSERT_NE(nullptr, thread);
    EXPECT_EQ(thread, request->ThreadHandle);
    EXPECT_EQ(QUARINET_WAIT_TIMEOUT, QuarInetWaitForThread(thread, 300));
    uint32_t code = 0;
    ASSERT_TRUE(QuarInetGetThreadExitCode(thread, code));
    EXPECT_EQ(QUARINET_STILL_ACTIVE, code);
    request->Abort(0);
    ASSERT_EQ(QUARINET_WAIT_OBJECT_0, QuarInetWaitForThread(thread, 5000));
    ASSERT_TRUE(QuarInetGetThreadExitCode(thread, code));
    EXPECT_EQ(QUARINET_ERROR_ABORTED, code);
    EXPECT_EQ(QUARINET_ERROR_ABORTED, result);
    EXPECT_EQ(nullptr, headers);
    EXPECT_EQ(nullptr, body);
    EXPECT_EQ(1, request->Aborted);
    EXPECT_TRUE(QuarInetCloseThread(thread));
    // An aborted request stays aborted.
    EXPECT_EQ(QUARINET_ERROR_ABORTED,
              request->Send("127.0.0.1", server.port(), "GET", "/", nullptr, 0, nullptr, 0));
    EXPECT_EQ(QUARINET_WAIT_FAILED, QuarInetWaitForThread(nullptr, 0));
    EXPECT_FALSE(QuarInetGetThreadExitCode(nullptr, code));
    EXPECT_FALSE(QuarInetCloseThread(nullptr));
}

// A listener whose accept queue is full: the server drops a further connection's SYN, so that
// connection's connect waits.
class FullListener {
  public:
    FullListener() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 0);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        for (int& fd : fillers_) {
            fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ~FullListener() {
        for (int fd : fillers_) {
            ::close(fd);
        }
        ::close(listener_);
    }
    uint16_t port() const { return port_; }

  private:
    int listener_;
    int fillers_[3];
    uint16_t port_;
};

TEST_F(ClientTest, BlockedConnectEndsByTimeOutOrAbort) {
    struct Case {
        const char* name;
        bool abort;
        uint32_t result;
    };
    for (const Case& c : {Case{"time-out", false, QUARINET_ERROR_TIMED_OUT},
                          Case{"abort", true, QUARINET_ERROR_ABORTED}}) {
        SCOPED_TRACE(c.name);
        FullListener listener;
        auto request = MakeRequest();
        request->ConnectTimeout = c.abort ? 0 : 300;
        uint32_t result = 1;
        QuarInetThread thread =
            request->OpenUrl("127.0.0.1", listener.port(), "GET", "/", nullptr, 0, nullptr, 0,
                             nullptr, nullptr, nullptr, nullptr, &result);
        if (c.abort) {
            EXPECT_EQ(QUARINET_WAIT_TIMEOUT, QuarInetWaitForThread(thread, 300));
            request->Abort(0);
        }
        ASSERT_EQ(QUARINET_WAIT_OBJECT_0, QuarInetWaitForThread(thread, 5000));
        QuarInetCloseThread(thread);
        EXPECT_EQ(c.result, result);
        EXPECT_EQ((std::vector<uint32_t>{60, 11, 20, 50, 51, 70}),
                  EventRecorder::Of(request.get()).Statuses());
    }
}

TEST_F(ClientTest, OpenUrlDeliversIntoTheCallersVariables) {
    RawServer server({{kOk}});
    auto request = MakeRequest();
    char* headers = nullptr;
    char* body = nullptr;
    uint32_t headersLength = 0, bodyLength = 0, result = 1;
    QuarInetThread thread = request->OpenUrl("127.0.0.1", server.port(), "GET", "/x", "", 0, "", 0,
                                             &headers, &headersLength, &body, &bodyLength, &result);
    ASSERT_EQ(QUARINET_WAIT_OBJECT_0, QuarInetWaitForThread(thread, QUARINET_INFINITE));
    QuarInetCloseThread(thread);
    LibraryBuffer<char> h(headers), b(body);
    EXPECT_EQ(0u, result);
    EXPECT_EQ("hello", std::string(body, bodyLength));
    EXPECT_EQ(kOk.size() - 5, headersLength);
    EXPECT_EQ(nullptr, request->Headers) << "empty headers are not stored";
    EXPECT_EQ(nullptr, request->Body);
}

}  // namespace
