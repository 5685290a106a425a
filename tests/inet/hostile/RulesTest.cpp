// The request rules that hold for both transports, each table run through the socket transport
// and the platform library against scripted servers and lighttpd: credentials stay with their
// origin across redirects, a Location's bytes never reach a request line as they came, ports
// above 65535 are refused, the caller's header lines are made whole, and IPv6 servers are
// reached.
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "BothTransports.h"
#include "QuarInet.h"
#include "support/LoopbackServers.h"
#include "support/RawServer.h"

namespace {

const std::string kOk = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nhello";

// The header lines of a recorded request, without its request line, blank line and body.
std::vector<std::string> HeaderLinesOf(const std::string& request) {
    std::vector<std::string> lines;
    const size_t end = request.find("\r\n\r\n");
    size_t start = request.find("\r\n") + 2;
    while (start < end + 2) {
        const size_t next = request.find("\r\n", start);
        lines.push_back(request.substr(start, next - start));
        start = next + 2;
    }
    return lines;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
    for (const std::string& l : lines) {
        if (l == line) {
            return true;
        }
    }
    return false;
}

std::string BodyOf(const std::string& request) {
    return request.substr(request.find("\r\n\r\n") + 4);
}

using RequestRules = BothTransports;

// Authorization, Cookie and Proxy-Authorization lines of the caller's block go with a redirect
// to the same origin only; other lines always go.
TEST_F(RequestRules, CredentialsStayWithTheirOrigin) {
    const std::string credentials =
        "Authorization: Basic dXNlcjpwYXNz\r\nCookie: session=s3cret\r\n"
        "Proxy-Authorization: Basic cHJveHk6cA==\r\n";
    struct Case {
        const char* name;
        const char* verb;
        std::string body;
        bool otherPort;    // the Location names the second server's port
        const char* host;  // the Location's host
        bool credentialsFollow;
    };
    const Case cases[] = {
        {"same origin, path only", "GET", "", false, nullptr, true},
        {"same origin spelt out", "GET", "", false, "127.0.0.1", true},
        {"another port", "GET", "", true, "127.0.0.1", false},
        {"another host name for the same server", "GET", "", true, "localhost", false},
        {"a POST to another origin", "POST", "a=1&b=2", true, "127.0.0.1", false},
    };
    for (const Transport t : kBothTransports) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(NameOf(t)) + ": " + c.name);
            RawServer second({{kOk}});
            const std::string location =
                c.host == nullptr
                    ? "/next"
                    : std::string("http://") + c.host + ":" +
                          (c.otherPort ? std::to_string(second.port()) : "{PORT}") + "/next";
            RawServer first({{"HTTP/1.0 302 Found\r\nLocation: " + location + "\r\n\r\n"}, {kOk}});
            Call call;
            call.port = first.port();
            call.verb = c.verb;
            call.body = c.body;
            call.headers = "X-Keep: 1\r\n" + credentials;
            const Answer answer = Exchange(t, call);
            EXPECT_EQ(0u, answer.result);
            EXPECT_EQ("hello", answer.body);
            const std::vector<std::string> firstRequests = first.Requests();
            const std::vector<std::string> secondRequests = second.Requests();
            ASSERT_EQ(c.otherPort ? 1u : 2u, firstRequests.size());
            ASSERT_EQ(c.otherPort ? 1u : 0u, secondRequests.size());
            const std::string followed = c.otherPort ? secondRequests[0] : firstRequests[1];
            const std::vector<std::string> lines = HeaderLinesOf(followed);
            EXPECT_TRUE(HasLine(lines, "X-Keep: 1")) << followed;
            for (const char* line : {"Authorization: Basic dXNlcjpwYXNz", "Cookie: session=s3cret",
                                     "Proxy-Authorization: Basic cHJveHk6cA=="}) {
                EXPECT_EQ(c.credentialsFollow, HasLine(lines, line)) << followed;
            }
            if (std::string(c.verb) == "POST") {
                // The socket transport sends method and body again; the platform library turns
                // a POST answered by 302 into a GET without a body, as browsers do.
                const std::string expected =
                    t == Transport::kSocket
                        ? "POST /next HTTP/1.0\r\nX-Keep: 1\r\nHost: 127.0.0.1:" +
                              std::to_string(second.port()) + "\r\nContent-Length: 7\r\n\r\na=1&b=2"
                        : "GET /next HTTP/1.0\r\n";
                if (t == Transport::kSocket) {
                    EXPECT_EQ(expected, followed);
                } else {
                    EXPECT_EQ(0u, followed.rfind(expected, 0)) << followed;
                    EXPECT_EQ("", BodyOf(followed));
                }
            }
        }
    }
}

// What a Location holds reaches the next request line percent-encoded, never as it came.
TEST_F(RequestRules, LocationBytesNeverReachTheRequestLine) {
    struct Case {
        const char* name;
        std::string location;
        const char* requestLine;
    };
    const Case cases[] = {
        {"plain", "/next?a=1", "GET /next?a=1 HTTP/1.0"},
        {"a blank", "/a b", "GET /a%20b HTTP/1.0"},
        {"a tab and a control byte",
         "/a\tb\x01"
         "c",
         "GET /a%09b%01c HTTP/1.0"},
        {"a forged second request line", "/x HTTP/1.0\x0bX-Injected: 1",
         "GET /x%20HTTP/1.0%0BX-Injected:%201 HTTP/1.0"},
        {"bytes above 127", "/caf\xc3\xa9", "GET /caf%C3%A9 HTTP/1.0"},
    };
    for (const Transport t : kBothTransports) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(NameOf(t)) + ": " + c.name);
            RawServer server(
                {{"HTTP/1.0 302 Found\r\nLocation: " + c.location + "\r\n\r\n"}, {kOk}});
            Call call;
            call.port = server.port();
            const Answer answer = Exchange(t, call);
            EXPECT_EQ(0u, answer.result);
            const std::vector<std::string> requests = server.Requests();
            ASSERT_EQ(2u, requests.size());
            EXPECT_EQ(c.requestLine, requests[1].substr(0, requests[1].find("\r\n")));
        }
    }
}

// A port above 65535 is refused before anything is sent; cut to 16 bits it would reach another.
TEST_F(RequestRules, PortsAbove65535AreRefused) {
    RawServer server({{kOk}});
    for (const Transport t : kBothTransports) {
        for (const uint32_t port : {server.port() + 65536u, 0xFFFFFFFFu}) {
            SCOPED_TRACE(std::string(NameOf(t)) + ": " + std::to_string(port));
            Call call;
            call.port = port;
            EXPECT_EQ(uint32_t(QUARINET_ERROR_INVALID_PARAMETER), Exchange(t, call).result);
        }
    }
    EXPECT_TRUE(server.Requests().empty());
}

// The caller's block becomes whole lines: the server gets a request it can read to its end.
TEST_F(RequestRules, HeaderBlocksAreMadeWhole) {
    struct Case {
        const char* name;
        std::string headers;
        std::vector<std::string> lines;  // of the caller's that arrive
    };
    const Case cases[] = {
        {"last line without its end", "X-A: 1", {"X-A: 1"}},
        {"a blank line only", "\r\n", {}},
        {"lines ended by LF alone", "X-A: 1\nX-B: 2\n", {"X-A: 1", "X-B: 2"}},
        {"CR LF lines", "X-A: 1\r\nX-B: 2\r\n", {"X-A: 1", "X-B: 2"}},
    };
    for (const Transport t : kBothTransports) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(NameOf(t)) + ": " + c.name);
            RawServer server({{kOk}});
            Call call;
            call.port = server.port();
            call.verb = "POST";
            call.body = "abc";
            call.headers = c.headers;
            const Answer answer = Exchange(t, call);
            EXPECT_EQ(0u, answer.result);
            EXPECT_EQ("hello", answer.body);
            const std::vector<std::string> requests = server.Requests();
            ASSERT_EQ(1u, requests.size());
            const std::vector<std::string> lines = HeaderLinesOf(requests[0]);
            for (const std::string& line : c.lines) {
                EXPECT_TRUE(HasLine(lines, line)) << requests[0];
            }
            EXPECT_TRUE(HasLine(lines, "Content-Length: 3")) << requests[0];
            for (const std::string& line : lines) {
                EXPECT_NE(std::string::npos, line.find(": ")) << requests[0];
            }
            EXPECT_EQ("abc", BodyOf(requests[0]));
        }
    }
}

// lighttpd listening on [::1] alone at the port asked (its 127.0.0.1 socket has another): the
// literal, with and without brackets, and names that find ::1 only or 127.0.0.1 before it (each
// address is tried in turn) reach it there.
TEST_F(RequestRules, IPv6ServersAreReached) {
    scratch_.Write("www/index.txt", "over IPv6\n");
    const int port = FreeLoopbackPort();
    Lighttpd server(scratch_ / "www", 0, {},
                    "$SERVER[\"socket\"] == \"[::1]:" + std::to_string(port) + "\" { }\n");
    ASSERT_NE(port, server.port());
    for (const Transport t : kBothTransports) {
        for (const char* host : {"::1", "[::1]", "v6only.test", "v4v6.test"}) {
            SCOPED_TRACE(std::string(NameOf(t)) + ": " + host);
            Call call;
            call.host = host;
            call.port = static_cast<uint32_t>(port);
            call.path = "/index.txt";
            const Answer answer = Exchange(t, call);
            EXPECT_EQ(0u, answer.result) << QuarInetGetErrorDescription(answer.result);
            EXPECT_EQ("over IPv6\n", answer.body);
        }
    }
}

std::atomic<uint32_t> gReportedSent{0};

void RecordSent(void*, uintptr_t, uint32_t status, void* info, uint32_t length) {
    if (status == QUARINET_STATUS_REQUEST_SENT && length == 4) {
        gReportedSent = *static_cast<const uint32_t*>(info);
    }
}

// Event 31 gives the bytes that went out: head and body, as the server received them.
TEST_F(RequestRules, RequestSentCountsTheBytesSent) {
    struct Case {
        const char* name;
        const char* verb;
        std::string body;
        std::string headers;
    };
    const Case cases[] = {
        {"GET", "GET", "", ""},
        {"POST of 10 bytes", "POST", "0123456789", ""},
        {"POST with header lines", "POST", "0123456789", "Content-Type: text/plain\r\nX-A: 1\r\n"},
        {"POST of 100,000 bytes", "POST", std::string(100000, 'p'), ""},
    };
    for (const Transport t : kBothTransports) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(NameOf(t)) + ": " + c.name);
            RawServer server({{kOk}});
            std::unique_ptr<QuarInetHttpRequest> request = MakeRequest(t, &RecordSent);
            gReportedSent = 0;
            uint32_t result = 0xDEAD;
            QuarInetThread thread = request->OpenUrl(
                "127.0.0.1", server.port(), c.verb, "/", c.headers.c_str(),
                static_cast<uint32_t>(c.headers.size()), c.body.data(),
                static_cast<uint32_t>(c.body.size()), nullptr, nullptr, nullptr, nullptr, &result);
            ASSERT_EQ(QUARINET_WAIT_OBJECT_0, QuarInetWaitForThread(thread, 30000));
            QuarInetCloseThread(thread);
            EXPECT_EQ(0u, result);
            ASSERT_EQ(1u, server.Requests().size());
            EXPECT_EQ(server.Requests()[0].size(), gReportedSent.load());
        }
    }
}

}  // namespace
