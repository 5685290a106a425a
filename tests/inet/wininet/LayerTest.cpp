// The layer's entry points, called through dlopen as the transport calls them, against real
// servers on 127.0.0.1: lighttpd (plain and TLS), tinyproxy with Basic authorization, and a
// scripted server for slow and silent answers.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LayerLibrary.h"
#include "LayerServers.h"
#include "support/LoopbackServers.h"
#include "support/RawServer.h"
#include "support/TempDir.h"

namespace {

using namespace wininet;
using Clock = std::chrono::steady_clock;

// The bytes of a small gzip stream: a body the layer must hand on as it came.
const unsigned char kGzipBody[] = {
    0x1f, 0x8b, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x03, 0x4b, 0xaf, 0xca, 0x2c, 0x50, 0x48,
    0xca, 0x4f, 0xa9, 0x54, 0x28, 0x2e, 0x49, 0xac, 0x2c, 0x56, 0x48, 0xcd, 0x4b, 0xce, 0x4f, 0x49,
    0x4d, 0xe1, 0x4a, 0x1f, 0x22, 0xe2, 0x00, 0xba, 0xe3, 0x07, 0xae, 0xc0, 0x00, 0x00, 0x00};

const char* const kIndexText = "hello from lighttpd\n";

// Large enough that the layer holds libcurl back while the reader catches up.
std::string BigBody() {
    std::string body;
    body.reserve(12 << 20);
    uint32_t x = 12345;
    for (int i = 0; i < (12 << 20); ++i) {
        x = x * 1103515245u + 12345u;
        body += static_cast<char>(x >> 24);
    }
    return body;
}

// Everything the tests talk to, started once per test program.
struct Servers : LayerServers {
    std::string bigBody = BigBody();

    Servers() {
        dir.Write("www/index.txt", kIndexText);
        dir.Write("www/page.gz",
                  std::string(reinterpret_cast<const char*>(kGzipBody), sizeof kGzipBody));
        dir.Write("www/big.bin", bigBody);
        dir.Write("www/echo.sh",
                  "printf 'Content-Type: text/plain\\r\\n\\r\\n'\n"
                  "printf '%s|%s|%s|%s|' \"$REQUEST_METHOD\" \"$CONTENT_TYPE\" \"$HTTP_X_TEST\" "
                  "\"$SERVER_PROTOCOL\"\n"
                  "cat\n");
        Start(", \"^/loop$\" => \"/loop\", \"^/echo-moved$\" => \"/echo.sh\"",
              "$HTTP[\"url\"] == \"/echo-kept\" {\n  url.redirect = (\"\" => \"/echo.sh\")\n"
              "  url.redirect-code = 307\n}\n"
              "server.modules += (\"mod_cgi\")\ncgi.assign = (\".sh\" => \"/bin/sh\")\n");
    }
};

class WinInetLayer : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        servers_ = new Servers();
        library_ = new LayerLibrary(QUAR_WININET_PATH);
    }
    static void TearDownTestSuite() {
        delete library_;
        delete servers_;
    }

    void SetUp() override {
        unsetenv("http_proxy");
        unsetenv("QUAR_WININET_CAFILE");
        // No display: InternetErrorDlg answers without asking anybody.
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        // A user registry of the test's own: no proxy unless a test writes one.
        setenv("QUAR_USER_REGISTRY", (scratch_ / "user.reg").c_str(), 1);
        scratch_.Write("user.reg", "REGEDIT4\n\n");
    }

    struct Response {
        bool sent = false;
        uint32_t error = 0;
        std::string headers;
        std::string body;
    };

    // One request through the entry points, as the transport makes it.
    Response Fetch(const LayerHandle& session, int port, const char* path, uint32_t flags = 0,
                   uint32_t piece = UINT32_MAX) {
        const LayerLibrary& lib = *library_;
        LayerHandle connection = lib.Connect(session, port);
        EXPECT_NE(connection.get(), nullptr);
        LayerHandle request = lib.Request(connection, "GET", path, 0x04400000 | flags);
        EXPECT_NE(request.get(), nullptr);
        Response response;
        response.sent = lib.HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0) != 0;
        if (!response.sent) {
            response.error = lib.GetLastError();
            return response;
        }
        response.headers = RawHeaders(request.get());
        response.error = ReadBody(request.get(), &response.body, piece);
        return response;
    }

    std::string RawHeaders(void* request) {
        const LayerLibrary& lib = *library_;
        uint32_t length = 0;
        EXPECT_EQ(
            lib.HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &length, nullptr), 0);
        EXPECT_EQ(lib.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
        std::string headers(length, '\0');
        EXPECT_NE(lib.HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, headers.data(), &length,
                                     nullptr),
                  0);
        headers.resize(length);
        return headers;
    }

    // Reads the body as the transport does, or in pieces of at most `piece` bytes; answers 0
    // or the error that broke it off.
    uint32_t ReadBody(void* request, std::string* body, uint32_t piece = UINT32_MAX) {
        const LayerLibrary& lib = *library_;
        for (;;) {
            uint32_t available = 0;
            if (!lib.InternetQueryDataAvailable(request, &available, 0, 0)) {
                return lib.GetLastError();
            }
            available = std::min(available, piece);
            std::string block(available, '\0');
            uint32_t read = 0;
            if (!lib.InternetReadFile(request, block.data(), available, &read)) {
                return lib.GetLastError();
            }
            if (read == 0) {
                return 0;
            }
            body->append(block, 0, read);
        }
    }

    static Servers* servers_;
    static LayerLibrary* library_;
    TempDir scratch_;
};

Servers* WinInetLayer::servers_ = nullptr;
LayerLibrary* WinInetLayer::library_ = nullptr;

std::string StatusLine(const std::string& headers) {
    return headers.substr(0, headers.find('\r'));
}

TEST_F(WinInetLayer, AnswersOfTheServerAsTheCallerReadsThem) {
    struct Case {
        const char* name;
        const char* path;
        int Servers::*port;
        uint32_t flags;
        bool trustTestCertificates;
        uint32_t error;      // of the send, or of the body
        const char* status;  // the final status line, when the send succeeds
        std::string body;
        uint32_t piece = UINT32_MAX;  // the most the reader takes at a time
    };
    const std::string index = kIndexText;
    const std::string gzip(reinterpret_cast<const char*>(kGzipBody), sizeof kGzipBody);
    const Case cases[] = {
        {"plain file", "/index.txt", &Servers::port, 0, false, 0, "HTTP/1.0 200 OK", index},
        {"body in many blocks", "/big.bin", &Servers::port, 0, false, 0, "HTTP/1.0 200 OK",
         servers_->bigBody},
        // Slower than the network, and never emptying what the layer holds.
        {"body read in small pieces", "/big.bin", &Servers::port, 0, false, 0, "HTTP/1.0 200 OK",
         servers_->bigBody, 7001},
        {"redirect followed", "/moved", &Servers::port, 0, false, 0, "HTTP/1.0 200 OK", index},
        {"missing file", "/missing", &Servers::port, 0, false, 0, "HTTP/1.0 404 Not Found", ""},
        {"gzip body left encoded", "/page.gz", &Servers::port, 0, false, 0, "HTTP/1.0 200 OK",
         gzip},
        {"redirect to https", "/to-tls", &Servers::port, 0, true, 0, "HTTP/1.0 200 OK", index},
        {"https certificate of nobody trusted", "/to-tls", &Servers::port, 0, false,
         ERROR_INTERNET_INVALID_CA, nullptr, ""},
        {"https certificate for another name", "/index.txt", &Servers::otherNamePort,
         INTERNET_FLAG_SECURE, true, ERROR_INTERNET_SEC_CERT_CN_INVALID, nullptr, ""},
        {"redirect loop", "/loop", &Servers::port, 0, false, ERROR_HTTP_REDIRECT_FAILED, nullptr,
         ""},
        {"redirect not followed when asked", "/moved", &Servers::port,
         INTERNET_FLAG_NO_AUTO_REDIRECT, false, 0, "HTTP/1.0 302 Found", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        servers_->TrustTestCertificates(c.trustTestCertificates);
        LayerHandle session = library_->Session(0);
        ASSERT_NE(session.get(), nullptr);
        const Response response = Fetch(session, servers_->*c.port, c.path, c.flags, c.piece);
        EXPECT_EQ(response.error, c.error);
        EXPECT_EQ(response.sent, c.status != nullptr);
        if (c.status == nullptr) {
            continue;
        }
        EXPECT_EQ(StatusLine(response.headers), c.status);
        if (c.body.size() > 0 || c.status[9] == '2') {
            EXPECT_TRUE(response.body == c.body) << response.body.size() << " bytes";
        }
        // Raw headers of the final response only: CR LF lines closed by an empty line.
        EXPECT_EQ(response.headers.find("HTTP/", 1), std::string::npos) << response.headers;
        EXPECT_EQ(response.headers.substr(response.headers.size() - 4), "\r\n\r\n");
        for (std::size_t lf = response.headers.find('\n'); lf != std::string::npos;
             lf = response.headers.find('\n', lf + 1)) {
            EXPECT_EQ(response.headers[lf - 1], '\r') << "bare LF at " << lf;
        }
        EXPECT_EQ(response.headers.find("Content-Encoding: gzip") != std::string::npos,
                  c.body == gzip);
    }
}

// What goes on the wire: the verb, the caller's header lines and body, HTTP/1.0, and no
// content type that the caller did not give.
TEST_F(WinInetLayer, RequestsCarryVerbHeadersAndBody) {
    struct Case {
        const char* path;
        const char* verb;
        std::string headers;
        uint32_t headersLength;  // 0xFFFFFFFF: up to the NUL
        std::string body;
        std::string echoed;  // method|content type|X-Test|protocol|body
    };
    const Case cases[] = {
        {"/echo.sh", "GET", "", 0, "", "GET|||HTTP/1.0|"},
        {"/echo.sh", "POST", "X-Test: yes\r\n", 13, "a=1&b=2", "POST||yes|HTTP/1.0|a=1&b=2"},
        {"/echo.sh", "POST", "Content-Type: application/json\r\n", 32, "{}",
         "POST|application/json||HTTP/1.0|{}"},
        {"/echo.sh", "PUT", "", 0, std::string("da\0ta", 5),
         std::string("PUT|||HTTP/1.0|da\0ta", 20)},
        {"/echo.sh", "GET", "X-Test: to the NUL\r\n", 0xFFFFFFFFu, "", "GET||to the NUL|HTTP/1.0|"},
        {"/echo.sh", "GET", "X-Test: cut\r\nX-Other: 1\r\n", 13, "", "GET||cut|HTTP/1.0|"},
        // A POST redirected with 302 arrives as a GET without body; with 307 as it was.
        {"/echo-moved", "POST", "X-Test: yes\r\n", 13, "a=1", "GET||yes|HTTP/1.0|"},
        {"/echo-kept", "POST", "X-Test: yes\r\n", 13, "a=1", "POST||yes|HTTP/1.0|a=1"},
    };
    const LayerLibrary& lib = *library_;
    LayerHandle session = lib.Session(1);
    LayerHandle connection = lib.Connect(session, servers_->port);
    // Each in one piece, then streamed: the first byte with the start, the rest a byte a write
    // (a redirect that wants the body again asks for it anew).
    for (const bool streamed : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(streamed ? "streamed " : "") + c.verb + " " + c.path + " " +
                         c.headers);
            LayerHandle request = lib.Request(connection, c.verb, c.path);
            if (!streamed) {
                ASSERT_NE(lib.HttpSendRequestA(request.get(), c.headers.c_str(), c.headersLength,
                                               const_cast<char*>(c.body.data()),
                                               static_cast<uint32_t>(c.body.size())),
                          0)
                    << lib.GetLastError();
            }
            for (int sends = 0; streamed; ++sends) {
                ASSERT_LT(sends, 2);
                const uint32_t first = c.body.empty() ? 0 : 1;
                QuarInternetBuffersA in{sizeof in,
                                        nullptr,
                                        c.headers.c_str(),
                                        c.headersLength,
                                        0,
                                        const_cast<char*>(c.body.data()),
                                        first,
                                        static_cast<uint32_t>(c.body.size()),
                                        0,
                                        0};
                ASSERT_NE(lib.HttpSendRequestExA(request.get(), &in, nullptr, 0, 0), 0)
                    << lib.GetLastError();
                for (size_t i = first; i < c.body.size(); ++i) {
                    uint32_t written = 0;
                    ASSERT_NE(lib.InternetWriteFile(request.get(), &c.body[i], 1, &written), 0)
                        << lib.GetLastError();
                    EXPECT_EQ(written, 1u);
                }
                if (lib.HttpEndRequestA(request.get(), nullptr, 0, 0) != 0) {
                    break;
                }
                ASSERT_EQ(lib.GetLastError(), ERROR_INTERNET_FORCE_RETRY);
            }
            std::string body;
            EXPECT_EQ(ReadBody(request.get(), &body), 0u);
            EXPECT_EQ(body, c.echoed);
        }
    }
}

TEST_F(WinInetLayer, StreamedBodyRefusesWhatDoesNotFitItsLength) {
    struct Case {
        const char* name;
        uint32_t total;
        std::string written;
        uint32_t writeError;  // of the write that fails, or 0
        uint32_t endError;    // when every write succeeded
    };
    const Case cases[] = {
        {"longer than announced", 3, "abcd", ERROR_INVALID_PARAMETER, 0},
        {"shorter than announced", 5, "abc", 0, ERROR_INVALID_PARAMETER},
    };
    const LayerLibrary& lib = *library_;
    LayerHandle session = lib.Session(1);
    LayerHandle connection = lib.Connect(session, servers_->port);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LayerHandle request = lib.Request(connection, "POST", "/echo.sh");
        uint32_t written = 0;
        EXPECT_EQ(lib.InternetWriteFile(request.get(), "a", 1, &written), 0);
        EXPECT_EQ(lib.GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        QuarInternetBuffersA in{sizeof in, nullptr, nullptr, 0, 0, nullptr, 0, c.total, 0, 0};
        ASSERT_NE(lib.HttpSendRequestExA(request.get(), &in, nullptr, 0, 0), 0);
        const int ok = lib.InternetWriteFile(request.get(), c.written.data(),
                                             static_cast<uint32_t>(c.written.size()), &written);
        EXPECT_EQ(ok != 0 ? 0u : lib.GetLastError(), c.writeError);
        if (ok != 0) {
            EXPECT_EQ(lib.HttpEndRequestA(request.get(), nullptr, 0, 0), 0);
            EXPECT_EQ(lib.GetLastError(), c.endError);
        }
    }
}

TEST_F(WinInetLayer, NothingListeningIsCannotConnect) {
    LayerHandle session = library_->Session(1);
    const Response response = Fetch(session, FreeLoopbackPort(), "/");
    EXPECT_FALSE(response.sent);
    EXPECT_EQ(response.error, ERROR_INTERNET_CANNOT_CONNECT);
}

// The preconfigured proxy comes from the user's Internet Settings key (or http_proxy without
// one); tinyproxy marks what it forwarded with a Via header.
TEST_F(WinInetLayer, PreconfiguredProxyWithBasicAuthorization) {
    const std::string proxy = "127.0.0.1:" + std::to_string(servers_->proxy->port());
    const std::string deadProxy = "127.0.0.1:" + std::to_string(FreeLoopbackPort());
    const std::string settings =
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet "
        "Settings]\n\"ProxyEnable\"=dword:00000001\n\"ProxyUserName\"=\"proxyuser\"\n";
    const std::string key = settings + "\"ProxyServer\"=\"" + proxy + "\"\n";
    const std::string goodPassword = "\"ProxyPassword\"=\"pr0xy-pass\"\n";
    struct Case {
        const char* name;
        std::string registry;
        std::string httpProxy;  // "": unset
        const char* path;
        uint32_t error;      // of the send
        const char* status;  // when sent
        bool forwarded;      // the proxy's Via header is in the answer
        uint32_t dialogAnswer;
    };
    const Case cases[] = {
        {"credentials in the key", key + goodPassword, "", "/index.txt", 0, "HTTP/1.0 200 OK", true,
         ERROR_SUCCESS},
        // tinyproxy refuses wrong credentials with 401.
        {"wrong password", key + "\"ProxyPassword\"=\"guess\"\n", "", "/index.txt", 0,
         "HTTP/1.0 401", false, ERROR_CANCELLED},
        {"no key: http_proxy", "", "http://proxyuser:pr0xy%2Dpass@" + proxy, "/index.txt", 0,
         "HTTP/1.0 200 OK", true, ERROR_SUCCESS},
        // Plain http goes direct, the https leg of the redirect through the proxy's tunnel.
        {"https proxy only", settings + goodPassword + "\"ProxyServer\"=\"https=" + proxy + "\"\n",
         "", "/to-tls", 0, "HTTP/1.0 200 OK", false, ERROR_SUCCESS},
        {"https proxy down",
         settings + goodPassword + "\"ProxyServer\"=\"https=" + deadProxy + "\"\n", "", "/to-tls",
         ERROR_INTERNET_CANNOT_CONNECT, nullptr, false, ERROR_SUCCESS},
    };
    servers_->TrustTestCertificates(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        scratch_.Write("user.reg", "REGEDIT4\n\n" + c.registry);
        if (!c.httpProxy.empty()) {
            setenv("http_proxy", c.httpProxy.c_str(), 1);
        }
        const LayerLibrary& lib = *library_;
        LayerHandle session = lib.Session(0);
        LayerHandle connection = lib.Connect(session, servers_->port);
        LayerHandle request = lib.Request(connection, "GET", c.path);
        const bool sent = lib.HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0) != 0;
        unsetenv("http_proxy");
        EXPECT_EQ(sent ? 0 : lib.GetLastError(), c.error);
        if (!sent || c.status == nullptr) {
            continue;
        }
        const std::string headers = RawHeaders(request.get());
        EXPECT_EQ(StatusLine(headers).find(c.status), 0u) << headers;
        EXPECT_EQ(headers.find("Via: ") != std::string::npos, c.forwarded) << headers;
        EXPECT_EQ(lib.InternetErrorDlg(nullptr, request.get(), 0, 7, nullptr), c.dialogAnswer);
    }
}

struct Event {
    void* handle;
    uintptr_t context;
    uint32_t status;
    std::string text;
};

std::mutex eventsMutex;
std::vector<Event> events;

void RecordEvent(void* handle, uintptr_t context, uint32_t status, void* info, uint32_t length) {
    std::lock_guard<std::mutex> lock(eventsMutex);
    std::string text;
    if (status == INTERNET_STATUS_REQUEST_SENT) {
        text = std::to_string(*static_cast<uint32_t*>(info));
    } else if (info != nullptr) {
        text.assign(static_cast<const char*>(info), length);
    }
    events.push_back({handle, context, status, text});
}

TEST_F(WinInetLayer, StatusEventsCarryTheRequestAndItsContext) {
    const LayerLibrary& lib = *library_;
    LayerHandle session = lib.Session(0);
    EXPECT_EQ(lib.InternetSetStatusCallback(session.get(), &RecordEvent), nullptr);
    const uintptr_t context = 0x5eed;
    LayerHandle connection = lib.Connect(session, servers_->port, context);
    LayerHandle request = lib.Request(connection, "GET", "/moved", 0, context);
    events.clear();
    ASSERT_NE(lib.HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0), 0);
    std::vector<uint32_t> statuses;
    for (const Event& e : events) {
        EXPECT_EQ(e.handle, request.get());
        EXPECT_EQ(e.context, context);
        statuses.push_back(e.status);
        if (e.status == INTERNET_STATUS_CONNECTED_TO_SERVER) {
            EXPECT_EQ(e.text, "127.0.0.1");
        }
        if (e.status == INTERNET_STATUS_REDIRECT) {
            EXPECT_EQ(e.text, "http://127.0.0.1:" + std::to_string(servers_->port) + "/index.txt");
        }
        if (e.status == INTERNET_STATUS_REQUEST_SENT) {
            EXPECT_GT(std::stoul(e.text), 20u);
        }
    }
    // A numeric host is not looked up; an HTTP/1.0 server closes the connection after the
    // redirect, so the next request connects again.
    const std::vector<uint32_t> expected = {11, 20, 21, 30, 31, 110, 11, 20, 21, 30, 31};
    EXPECT_EQ(statuses, expected);
}

TEST_F(WinInetLayer, OptionsAndQueriesCheckTheirBuffers) {
    const LayerLibrary& lib = *library_;
    LayerHandle session = lib.Session(1);
    uint32_t timeout = 1234;
    ASSERT_NE(lib.InternetSetOptionA(session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, 4),
              0);
    // A connection made afterwards takes the session's time-out.
    LayerHandle connection = lib.Connect(session, servers_->port);
    LayerHandle request = lib.Request(connection, "GET", "/index.txt");

    struct Case {
        const char* name;
        bool set;
        void* handle;
        uint32_t option;
        uint32_t length;
        uint32_t error;        // 0: success
        uint32_t lengthAfter;  // queries
        uint32_t value;        // queries that succeed
    };
    const Case cases[] = {
        {"inherited connect time-out", false, connection.get(), INTERNET_OPTION_CONNECT_TIMEOUT, 4,
         0, 4, 1234},
        {"default receive time-out", false, request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, 4, 0, 4,
         30000},
        {"query into 3 bytes", false, request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, 3,
         ERROR_INSUFFICIENT_BUFFER, 4, 0},
        {"set with 8 bytes", true, request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, 8,
         ERROR_INTERNET_BAD_OPTION_LENGTH, 0, 0},
        {"unknown option", true, request.get(), 77, 4, ERROR_INTERNET_INVALID_OPTION, 0, 0},
        {"no such handle", true, reinterpret_cast<void*>(0x4), INTERNET_OPTION_CONNECT_TIMEOUT, 4,
         ERROR_INVALID_HANDLE, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t buffer[2] = {7, 7};
        uint32_t length = c.length;
        const int ok = c.set ? lib.InternetSetOptionA(c.handle, c.option, buffer, c.length)
                             : lib.InternetQueryOptionA(c.handle, c.option, buffer, &length);
        EXPECT_EQ(ok != 0, c.error == 0);
        if (c.error != 0) {
            EXPECT_EQ(lib.GetLastError(), c.error);
        }
        if (!c.set) {
            EXPECT_EQ(length, c.lengthAfter);
            if (c.error == 0) {
                EXPECT_EQ(buffer[0], c.value);
            }
        }
    }

    // Headers before sending, then into a buffer one byte short and one that fits exactly.
    uint32_t length = 0;
    EXPECT_EQ(lib.HttpQueryInfoA(request.get(), 22, nullptr, &length, nullptr), 0);
    EXPECT_EQ(lib.GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    ASSERT_NE(lib.HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0), 0);
    EXPECT_EQ(lib.HttpQueryInfoA(request.get(), 19, nullptr, &length, nullptr), 0);
    EXPECT_EQ(lib.GetLastError(), ERROR_HTTP_INVALID_QUERY_REQUEST);
    const std::string headers = RawHeaders(request.get());
    std::string buffer(headers.size() + 1, 'x');
    length = static_cast<uint32_t>(headers.size());
    EXPECT_EQ(lib.HttpQueryInfoA(request.get(), 22, buffer.data(), &length, nullptr), 0);
    EXPECT_EQ(lib.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(length, headers.size() + 1);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_NE(lib.HttpQueryInfoA(request.get(), 22, buffer.data(), &length, nullptr), 0);
    EXPECT_EQ(length, headers.size());
    EXPECT_EQ(buffer, headers + '\0');

    // A closed handle is gone for good.
    void* closed = request.release();
    EXPECT_NE(lib.InternetCloseHandle(closed), 0);
    EXPECT_EQ(lib.HttpQueryInfoA(closed, 22, nullptr, &length, nullptr), 0);
    EXPECT_EQ(lib.GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(lib.InternetCloseHandle(closed), 0);
    EXPECT_EQ(lib.InternetErrorDlg(nullptr, closed, 0, 7, nullptr), ERROR_INVALID_HANDLE);
}

// Answers a server should not give end with the number of what went wrong, whatever libcurl
// called it.
TEST_F(WinInetLayer, MalformedAnswersHaveTheirNumbers) {
    struct Case {
        const char* name;
        std::string reply;
        bool sent;
        uint32_t error;
    };
    const Case cases[] = {
        {"no status line", "garbage\r\n\r\nbody", false, ERROR_HTTP_INVALID_SERVER_RESPONSE},
        {"a header line of 200 KB",
         "HTTP/1.0 200 OK\r\nX-Big: " + std::string(200000, 'a') + "\r\n\r\nhello", false,
         ERROR_HTTP_INVALID_SERVER_RESPONSE},
        {"closed before its length", "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nhello", true,
         ERROR_INTERNET_CONNECTION_ABORTED},
        {"moved to an unknown scheme", "HTTP/1.0 302 Found\r\nLocation: ftp://127.0.0.1/x\r\n\r\n",
         false, ERROR_INTERNET_UNRECOGNIZED_SCHEME},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server({RawReply::Plain(c.reply)});
        const Response response = Fetch(library_->Session(0), server.port(), "/");
        EXPECT_EQ(response.sent, c.sent);
        EXPECT_EQ(response.error, c.error);
    }
}

// A receive time-out ends a wait for the headers or for the body.
TEST_F(WinInetLayer, SilentServerTimesOut) {
    struct Case {
        const char* name;
        const char* head;
        bool sendFails;
    };
    const Case cases[] = {
        {"no headers", "", true},
        {"headers, then no body", "HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server({RawReply::Silent(c.head)});
        const LayerLibrary& lib = *library_;
        LayerHandle session = lib.Session(1);
        uint32_t timeout = 300;
        ASSERT_NE(
            lib.InternetSetOptionA(session.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, 4), 0);
        const auto start = Clock::now();
        const Response response = Fetch(session, server.port(), "/");
        const auto elapsed = Clock::now() - start;
        EXPECT_EQ(response.sent, !c.sendFails);
        EXPECT_EQ(response.error, ERROR_INTERNET_TIMEOUT);
        EXPECT_GE(elapsed, std::chrono::milliseconds(290));
        EXPECT_LT(elapsed, std::chrono::milliseconds(5000));
    }
}

// Closing the handles from another thread (the transport's Abort) ends a call that waits for
// the headers or for more of a slow body within 100 ms.
TEST_F(WinInetLayer, CloseFromAnotherThreadEndsTheWaitingCall) {
    struct Case {
        const char* name;
        RawReply reply;
    };
    const Case cases[] = {
        {"waiting for the headers", RawReply::Silent()},
        {"reading a slow body",
         RawReply::Endless("HTTP/1.0 200 OK\r\nContent-Length: 100000000\r\n\r\n", "slow body ",
                           20)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server({c.reply});
        const LayerLibrary& lib = *library_;
        void* session = lib.InternetOpenA("QuarInet", 1, nullptr, nullptr, 0);
        void* connection = lib.InternetConnectA(session, "127.0.0.1", server.port(), nullptr,
                                                nullptr, INTERNET_SERVICE_HTTP, 0, 0);
        void* request =
            lib.HttpOpenRequestA(connection, "GET", "/", "HTTP/1.0", nullptr, nullptr, 0, 0);
        std::atomic<bool> started{false};
        std::atomic<uint32_t> error{0};
        Clock::time_point ended;
        std::thread worker([&] {
            if (!lib.HttpSendRequestA(request, nullptr, 0, nullptr, 0)) {
                error = lib.GetLastError();
            } else {
                char buffer[256];
                uint32_t read = 0;
                while (lib.InternetReadFile(request, buffer, sizeof buffer, &read) && read > 0) {
                    started = true;
                }
                error = lib.GetLastError();
            }
            ended = Clock::now();
        });
        while (!c.reply.endless.empty() && !started) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const Clock::time_point closing = Clock::now();
        EXPECT_NE(lib.InternetCloseHandle(request), 0);
        EXPECT_NE(lib.InternetCloseHandle(connection), 0);
        EXPECT_NE(lib.InternetCloseHandle(session), 0);
        worker.join();
        EXPECT_LT(ended - closing, std::chrono::milliseconds(100));
        // Cancelled inside the call, or refused on the next one.
        EXPECT_TRUE(error == ERROR_INTERNET_OPERATION_CANCELLED || error == ERROR_INVALID_HANDLE)
            << error;
    }
}

TEST_F(WinInetLayer, RefusedArguments) {
    const LayerLibrary& lib = *library_;
    LayerHandle session = lib.Session(1);
    struct Case {
        const char* name;
        void* (*call)(const LayerLibrary&, void* session);
    };
    const Case cases[] = {
        {"unknown access type",
         [](const LayerLibrary& l, void*) { return l.InternetOpenA("a", 2, nullptr, nullptr, 0); }},
        {"proxy access without a proxy",
         [](const LayerLibrary& l, void*) { return l.InternetOpenA("a", 3, nullptr, nullptr, 0); }},
        {"service other than HTTP",
         [](const LayerLibrary& l, void* s) {
             return l.InternetConnectA(s, "127.0.0.1", 80, nullptr, nullptr, 1, 0, 0);
         }},
        {"no server",
         [](const LayerLibrary& l, void* s) {
             return l.InternetConnectA(s, nullptr, 80, nullptr, nullptr, 3, 0, 0);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(lib, session.get()), nullptr);
        EXPECT_EQ(lib.GetLastError(), ERROR_INVALID_PARAMETER);
    }
}

// Closing a session closes what was made from it.
TEST_F(WinInetLayer, ClosingTheSessionClosesItsChildren) {
    const LayerLibrary& lib = *library_;
    void* session = lib.InternetOpenA("QuarInet", 1, nullptr, nullptr, 0);
    void* connection = lib.InternetConnectA(session, "127.0.0.1", servers_->port, nullptr, nullptr,
                                            INTERNET_SERVICE_HTTP, 0, 0);
    void* request =
        lib.HttpOpenRequestA(connection, "GET", "/", "HTTP/1.0", nullptr, nullptr, 0, 0);
    ASSERT_NE(request, nullptr);
    EXPECT_NE(lib.InternetCloseHandle(session), 0);
    EXPECT_EQ(lib.HttpSendRequestA(request, nullptr, 0, nullptr, 0), 0);
    EXPECT_EQ(lib.GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(lib.InternetCloseHandle(connection), 0);
    // A connection handle where a request belongs is the wrong type, not an unknown one.
    void* other = lib.InternetOpenA("QuarInet", 1, nullptr, nullptr, 0);
    EXPECT_EQ(lib.HttpSendRequestA(other, nullptr, 0, nullptr, 0), 0);
    EXPECT_EQ(lib.GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    EXPECT_NE(lib.InternetCloseHandle(other), 0);
}

}  // namespace
