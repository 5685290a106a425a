// Requests of a connection whose settings ask for the browser's settings, end to end through
// CreateRequest and OpenUrl against lighttpd (plain and TLS), tinyproxy and a slow scripted
// server on 127.0.0.1. Built twice: over the platform internet library, and with the library
// hidden, where the same requests go through the library's own client with the browser's
// proxy values.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "../GzipBytes.h"
#include "LayerServers.h"
#include "QuarInet.h"
#include "inet/wininet/WinInetApi.h"
#include "support/LoopbackServers.h"
#include "support/RawServer.h"
#include "support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;

const char* const kIndexText = "hello from lighttpd\n";
const char* const kGzipText = "a body that travels gzip-encoded\n";
const char* const kSettingsKey = "BrowserSettingsTest";
const std::string kInternetSettings =
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings]\n";

// Everything the tests talk to, started once per test program.
struct Servers : LayerServers {
    Servers() {
        dir.Write("www/index.txt", kIndexText);
        dir.Write("www/page.gz", GzipBytes(kGzipText));
        dir.Write("www/private/secret.txt", "the secret\n");
        dir.Write("users", "webuser:webpass\n");
        Start(", \"^/to-other-name$\" => \"https://127.0.0.1:" + std::to_string(otherNamePort) +
                  "/index.txt\"",
              "server.modules += (\"mod_auth\", \"mod_authn_file\")\n"
              "auth.backend = \"plain\"\nauth.backend.plain.userfile = \"" +
                  dir / "users" +
                  "\"\nauth.require = (\"/private/\" => (\"method\" => \"basic\", \"realm\" => "
                  "\"quar\", \"require\" => \"valid-user\"))\n");
    }
};

// What one exchange gave.
struct Outcome {
    uint32_t result = 0xFFFFFFFF;
    std::string headers;
    std::string body;
    bool throughLayer = false;
    bool responseReceived = false;  // event 41 seen
    bool sessionHandle = false;     // ...on a non-null handle
};

std::atomic<uint32_t> bytesSeen{0};
std::atomic<bool> responseReceived{false};
std::atomic<bool> sessionHandle{false};

void Watch(void* handle, uintptr_t, uint32_t status, void* info, uint32_t length) {
    if (status == QUARINET_STATUS_RECEIVING_RESPONSE && length == 4) {
        bytesSeen = *static_cast<const uint32_t*>(info);
    } else if (status == QUARINET_STATUS_RESPONSE_RECEIVED) {
        responseReceived = true;
        sessionHandle = handle != nullptr;
    }
}

class BrowserSettings : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!kLayer) {
            // Before the first request: the process binds the library once.
            setenv("QUAR_HIDE_MODULES", "WININET.DLL", 1);
        }
        servers_ = new Servers();
    }
    static void TearDownTestSuite() { delete servers_; }

    void SetUp() override {
        unsetenv("http_proxy");
        unsetenv("QUAR_WININET_CAFILE");
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        setenv("QUAR_WINDOW_HOST_MODULE", STAND_IN_WINDOW_HOST, 1);
        setenv("QUAR_TEST_DIALOG_LOG", (scratch_ / "dialogs").c_str(), 1);
        setenv("QUAR_USER_REGISTRY", (scratch_ / "user.reg").c_str(), 1);
        WriteRegistry("");
    }

    void WriteRegistry(const std::string& internetSettings) {
        scratch_.Write("user.reg", "REGEDIT4\n\n" + internetSettings);
        QuarInetHttpConnection connection(kSettingsKey);
        ASSERT_TRUE(connection.Configure(1, 0, "", 80, 0, "", ""));
    }

    Outcome Fetch(const char* path) {
        Outcome outcome;
        bytesSeen = 0;
        responseReceived = false;
        sessionHandle = false;
        QuarInetHttpConnection connection(kSettingsKey);
        std::unique_ptr<QuarInetHttpRequest> request(connection.CreateRequest(Watch));
        if (request == nullptr) {
            ADD_FAILURE() << "no request";
            return outcome;
        }
        outcome.throughLayer =
            dynamic_cast<QuarInetHttpRequestWinInetImpl*>(request.get()) != nullptr;
        char* headers = nullptr;
        char* body = nullptr;
        uint32_t headersLength = 0, bodyLength = 0;
        QuarInetThread thread =
            request->OpenUrl("127.0.0.1", servers_->port, "GET", path, nullptr, 0, nullptr, 0,
                             &headers, &headersLength, &body, &bodyLength, &outcome.result);
        EXPECT_EQ(QuarInetWaitForThread(thread, 30000), QUARINET_WAIT_OBJECT_0);
        QuarInetCloseThread(thread);
        outcome.headers.assign(headers != nullptr ? headers : "", headersLength);
        outcome.body.assign(body != nullptr ? body : "", bodyLength);
        QuarInetFree(headers);
        QuarInetFree(body);
        outcome.responseReceived = responseReceived;
        outcome.sessionHandle = sessionHandle;
        return outcome;
    }

#ifdef QUAR_LAYER_HIDDEN
    static constexpr bool kLayer = false;
#else
    static constexpr bool kLayer = true;
#endif
    static Servers* servers_;
    TempDir scratch_;
};
Servers* BrowserSettings::servers_ = nullptr;

// The two builds' tests carry names of their own.
#ifdef QUAR_LAYER_HIDDEN
#define BROWSER_SETTINGS BrowserSettingsWithoutLayer
#else
#define BROWSER_SETTINGS BrowserSettingsOverLayer
#endif
using BROWSER_SETTINGS = BrowserSettings;

// The answers of the server, and what each transport makes of them.
TEST_F(BROWSER_SETTINGS, AnswersOfTheServer) {
    struct Case {
        const char* name;
        const char* path;
        uint32_t result;
        const char* status;  // start of the header block
        std::string body;    // "": not checked
    };
    const Case cases[] = {
        {"200", "/index.txt", 0, "HTTP/1.0 200 OK\r\n", kIndexText},
        {"302 followed", "/moved", 0, "HTTP/1.0 200 OK\r\n", kIndexText},
        {"404 delivered", "/none", QUARINET_ERROR_STATUS, "HTTP/1.0 404", ""},
        {"gzip decoded", "/page.gz", 0, "HTTP/1.0 200 OK\r\n", kGzipText},
        // The layer's dialog is cancelled without a display; the library's own client hands
        // the challenge over as it came.
        {"credentials needed, no display", "/private/secret.txt",
         kLayer ? uint32_t(QUARINET_ERROR_STATUS) : 0u, kLayer ? "" : "HTTP/1.0 401", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome outcome = Fetch(c.path);
        EXPECT_EQ(outcome.throughLayer, kLayer);
        EXPECT_EQ(outcome.result, c.result) << outcome.headers;
        EXPECT_EQ(outcome.headers.rfind(c.status, 0), 0u) << outcome.headers;
        if (!c.body.empty()) {
            EXPECT_EQ(outcome.body, c.body);
        }
        if (c.result == 0) {
            EXPECT_TRUE(outcome.responseReceived);
            EXPECT_TRUE(outcome.sessionHandle);
        }
    }
}

// The proxy of the browser's settings: the layer takes its credentials from the key too; the
// library's own client takes the proxy without them and hands tinyproxy's challenge over.
TEST_F(BROWSER_SETTINGS, ProxyOfTheInternetSettingsKey) {
    WriteRegistry(kInternetSettings + "\"ProxyEnable\"=dword:00000001\n\"ProxyServer\"=\"" +
                  "127.0.0.1:" + std::to_string(servers_->proxy->port()) +
                  "\"\n\"ProxyUserName\"=\"proxyuser\"\n\"ProxyPassword\"=\"pr0xy-pass\"\n");
    const Outcome outcome = Fetch("/index.txt");
    if (kLayer) {
        EXPECT_EQ(outcome.result, 0u) << outcome.headers;
        EXPECT_EQ(outcome.body, kIndexText);
        EXPECT_NE(outcome.headers.find("\r\nVia: "), std::string::npos) << outcome.headers;
    } else {
        EXPECT_EQ(outcome.result, 0u);
        EXPECT_EQ(outcome.headers.rfind("HTTP/1.0 407", 0), 0u) << outcome.headers;
        EXPECT_NE(outcome.headers.find("Server: tinyproxy"), std::string::npos) << outcome.headers;
    }
}

// An http page that moved to https: certificates are checked on the way.
TEST_F(BROWSER_SETTINGS, RedirectToHttps) {
    struct Case {
        const char* name;
        const char* path;
        bool trusted;
        uint32_t result;  // over the layer
    };
    const Case cases[] = {
        {"trusted certificate", "/to-tls", true, 0},
        {"unknown authority", "/to-tls", false, wininet::ERROR_INTERNET_INVALID_CA},
        {"certificate for another name", "/to-other-name", true,
         wininet::ERROR_INTERNET_SEC_CERT_CN_INVALID},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        servers_->TrustTestCertificates(c.trusted);
        const Outcome outcome = Fetch(c.path);
        if (kLayer) {
            EXPECT_EQ(outcome.result, c.result) << outcome.headers;
            if (c.result == 0) {
                EXPECT_EQ(outcome.body, kIndexText);
            }
        } else {
            // The library's own client speaks plain HTTP only: the redirect stays unfollowed.
            EXPECT_EQ(outcome.result, QUARINET_ERROR_STATUS);
            EXPECT_EQ(outcome.headers.rfind("HTTP/1.0 302", 0), 0u) << outcome.headers;
        }
    }
}

#ifndef QUAR_LAYER_HIDDEN
// The credentials dialog of the platform library, answered by a window host that shows nothing:
// the credentials given are sent on the retry; refused ones are asked for a few times only.
TEST_F(BROWSER_SETTINGS, CredentialsDialogOfThePlatformLibrary) {
    setenv("DISPLAY", ":99", 1);
    // The proxy of the key, without credentials of its own.
    const std::string proxyKey = kInternetSettings +
                                 "\"ProxyEnable\"=dword:00000001\n\"ProxyServer\"=\"127.0.0.1:" +
                                 std::to_string(servers_->proxy->port()) + "\"\n";
    struct Case {
        const char* name;
        std::string registry;
        const char* typed;
        uint32_t result;
        int dialogs;
        std::string prompts;  // the dialogs' prompts show this
    };
    const std::string server = "|127.0.0.1:" + std::to_string(servers_->port) +
                               " wants a user name and password for \"quar\".\n";
    const Case cases[] = {
        {"right credentials", "", "webuser:webpass", 0, 1, "|" + server},
        {"cancelled", "", "cancel", QUARINET_ERROR_STATUS, 1, "|" + server},
        {"refused again and again", "", "webuser:guess", QUARINET_ERROR_STATUS,
         wininet::kMaxErrorDialogRetries + 1,
         "|webuser|The password was refused. " + server.substr(1)},
        // The proxy asks first (407), then the server (401): each keeps its own credentials.
        {"proxy, then server", proxyKey, "proxyuser:pr0xy-pass;webuser:webpass", 0, 2,
         "||The proxy 127.0.0.1:" + std::to_string(servers_->proxy->port()) + " wants"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteRegistry(c.registry);
        scratch_.Write("dialogs", "");
        setenv("QUAR_TEST_DIALOG", c.typed, 1);
        const Outcome outcome = Fetch("/private/secret.txt");
        EXPECT_EQ(outcome.result, c.result) << outcome.headers;
        if (c.result == 0) {
            EXPECT_EQ(outcome.body, "the secret\n");
        }
        const std::string dialogs = scratch_.Read("dialogs");
        EXPECT_EQ(std::count(dialogs.begin(), dialogs.end(), '\n'), c.dialogs) << dialogs;
        EXPECT_EQ(dialogs.rfind("Enter Network Password|", 0), 0u) << dialogs;
        EXPECT_NE(dialogs.find(c.prompts), std::string::npos) << dialogs;
        EXPECT_EQ(outcome.headers.find("\r\nVia: ") != std::string::npos, !c.registry.empty())
            << outcome.headers;
    }
    unsetenv("QUAR_TEST_DIALOG");
}
#endif

// Abort from another thread ends the worker within 100 ms with the cancellation, whether the
// body is arriving or the server has not answered yet (no dialog is asked about a closed request).
TEST_F(BROWSER_SETTINGS, AbortEndsTheExchange) {
    struct Case {
        const char* name;
        RawReply reply;
        bool waitForBody;
    };
    const Case cases[] = {
        {"a slow body",
         RawReply::Endless("HTTP/1.0 200 OK\r\nContent-Length: 100000000\r\n\r\n", "slow body ",
                           20),
         true},
        {"a server that never answers", RawReply::Silent(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server({c.reply});
        bytesSeen = 0;
        QuarInetHttpConnection connection(kSettingsKey);
        std::unique_ptr<QuarInetHttpRequest> request(connection.CreateRequest(Watch));
        ASSERT_NE(request, nullptr);
        char* headers = nullptr;
        char* body = nullptr;
        uint32_t headersLength = 0, bodyLength = 0, result = 0;
        QuarInetThread thread =
            request->OpenUrl("127.0.0.1", server.port(), "GET", "/", nullptr, 0, nullptr, 0,
                             &headers, &headersLength, &body, &bodyLength, &result);
        ASSERT_NE(thread, nullptr);
        for (int i = 0; i < 500 && c.waitForBody && bytesSeen == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (c.waitForBody) {
            EXPECT_GT(bytesSeen.load(), 0u);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        const Clock::time_point aborting = Clock::now();
        request->Abort(0);
        EXPECT_EQ(QuarInetWaitForThread(thread, 5000), QUARINET_WAIT_OBJECT_0);
        EXPECT_LT(Clock::now() - aborting, std::chrono::milliseconds(100));
        QuarInetCloseThread(thread);
        EXPECT_EQ(result, kLayer ? wininet::ERROR_INTERNET_OPERATION_CANCELLED
                                 : uint32_t(QUARINET_ERROR_ABORTED));
        EXPECT_EQ(request->Aborted, 1);
        QuarInetFree(headers);
        QuarInetFree(body);
    }
}

}  // namespace
