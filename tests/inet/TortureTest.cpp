// Every failure the client library can meet, one at a time: each scenario runs once to count
// the calls at its seams (the library's heap, the socket calls, registry file writes), then
// again with call 1, 2, ..., N failing in turn. Each run must end without a crash, a hang (the
// time-outs below; ctest's own bounds the rest) or a leak (AddressSanitizer in the sanitizer
// tree), with a documented result, and a success must carry all of what the clean run gave.
//
// The default run takes the scenarios marked short; QUAR_TORTURE=all takes every one.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "GzipBytes.h"
#include "LibraryBuffer.h"
#include "QuarInet.h"
#include "inet/InetHeap.h"
#include "inet/WinInetTable.h"
#include "platform/FailurePoint.h"
#include "support/RawServer.h"
#include "support/TempDir.h"

namespace {

constexpr unsigned kHeap = static_cast<unsigned>(FailureSite::kHeap);
constexpr unsigned kSocket = static_cast<unsigned>(FailureSite::kSocket);
constexpr unsigned kRegistry = static_cast<unsigned>(FailureSite::kRegistryWrite);
constexpr unsigned kModule = static_cast<unsigned>(FailureSite::kModule);

// What a run came to: the result code (utilities: 0 for true) and everything it delivered.
struct Result {
    uint32_t code = 0;
    std::string data;
};

struct Scenario {
    const char* name;
    unsigned sites;                         // the seams counted and failed
    bool inShortRun;                        // else only with QUAR_TORTURE=all
    std::function<void(TempDir&)> prepare;  // before each run, nothing failing
    std::function<Result(TempDir&)> run;
};

const std::set<uint32_t> kDocumented = {
    0,
    QUARINET_ERROR_INVALID_HANDLE,
    QUARINET_ERROR_NOT_ENOUGH_MEMORY,
    QUARINET_ERROR_INVALID_PARAMETER,
    QUARINET_ERROR_NO_HEADER_END,
    QUARINET_ERROR_TIMED_OUT,
    QUARINET_ERROR_STATUS,
    QUARINET_ERROR_NO_TRANSPORT,
    QUARINET_ERROR_REDIRECT_LIMIT,
    10055,  // the socket calls' injected failure: no buffer space
    1,      // a utility's false
};

const std::string kOk = "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello";

std::unique_ptr<QuarInetHttpRequest> DirectRequest() {
    QuarInetHttpConnection connection("torture");
    if (!connection.Configure(0, 0, "", 80, 0, "", "")) {
        return nullptr;
    }
    std::unique_ptr<QuarInetHttpRequest> request(connection.CreateRequest(nullptr));
    if (request != nullptr) {
        request->ConnectTimeout = 5000;
        request->ReceiveTimeout = 5000;
    }
    return request;
}

// One exchange with a fresh server that answers `replies`.
Result Exchange(std::vector<RawReply> replies, const char* host = "127.0.0.1",
                const char* verb = "GET", const std::string& body = "") {
    RawServer server(std::move(replies));
    std::unique_ptr<QuarInetHttpRequest> request = DirectRequest();
    if (request == nullptr) {
        return {1, ""};
    }
    Result r;
    r.code = request->Send(host, server.port(), verb, "/a", "X: y\r\n", 6, body.data(),
                           static_cast<uint32_t>(body.size()));
    if (r.code != 0) {
        return r;
    }
    char* h = nullptr;
    char* b = nullptr;
    uint32_t hl = 0, bl = 0;
    r.code = request->Receive(h, hl, b, bl);
    LibraryBuffer<char> headers(h), held(b);
    r.data = (h ? std::string(h, hl) : "-") + "|" + (b ? std::string(b, bl) : "-");
    return r;
}

Result OnWorker() {
    RawServer server({{kOk}});
    std::unique_ptr<QuarInetHttpRequest> request = DirectRequest();
    if (request == nullptr) {
        return {1, ""};
    }
    char* h = nullptr;
    char* b = nullptr;
    uint32_t hl = 0, bl = 0, result = 0;
    QuarInetThread thread = request->OpenUrl("127.0.0.1", server.port(), "GET", "/", nullptr, 0,
                                             nullptr, 0, &h, &hl, &b, &bl, &result);
    if (thread == nullptr) {
        return {1, ""};
    }
    const bool ended = QuarInetWaitForThread(thread, 20000) == QUARINET_WAIT_OBJECT_0;
    QuarInetCloseThread(thread);
    LibraryBuffer<char> headers(h), held(b);
    if (!ended) {
        return {0xDEAD, "hung"};
    }
    return {result, (h ? std::string(h, hl) : "-") + "|" + (b ? std::string(b, bl) : "-")};
}

Result Multipart() {
    char* headers = nullptr;
    char* body = nullptr;
    uint32_t length = 0;
    const mime_part in[] = {{"A: 1\r\n", 0, "first", 5}, {"B: 2\r\n", 0, "second", 6}};
    if (!ConstructMimeMultipart(headers, body, length, "Host: h\r\n", in, 2)) {
        return {1, ""};
    }
    LibraryBuffer<char> h(headers), b(body);
    mime_part* parts = nullptr;
    const uint32_t count = ParseMimeMultipart(headers, body, length, parts);
    LibraryBuffer<mime_part> held(parts);
    Result r{count == 2 ? 0u : 1u, ""};
    for (uint32_t i = 0; i < count; ++i) {
        r.data += std::string(parts[i].data, parts[i].data_length) + ";";
    }
    return r;
}

// A gzip response decoded: UnpackContent always answers true, with the body decoded whole or
// left as it came.
Result Unpack() {
    const std::string text = "HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\n\r\n";
    const std::string gz = GzipBytes(std::string(3000, 'z'));
    LibraryBuffer<char> headers(static_cast<char*>(inet::HeapAllocate(text.size() + 1)));
    LibraryBuffer<char> body(static_cast<char*>(inet::HeapAllocate(gz.size())));
    if (headers == nullptr || body == nullptr) {
        return {1, ""};
    }
    memcpy(headers.get(), text.c_str(), text.size() + 1);
    memcpy(body.get(), gz.data(), gz.size());
    char* h = headers.release();
    char* b = body.release();
    uint32_t hl = static_cast<uint32_t>(text.size());
    uint32_t bl = static_cast<uint32_t>(gz.size());
    const bool unpacked = UnpackContent(h, hl, b, bl);
    headers.reset(h);
    body.reset(b);
    const std::string came = std::string(h, hl) + "|" + std::string(b, bl);
    return {unpacked ? 0u : 1u, came == text + "|" + gz ? "as it came" : came};
}

// The settings saved over older ones: every value read back is the old or the new one.
const char* ValueState(bool isNew, bool isOld) {
    return isNew ? "new" : isOld ? "old" : "torn";
}

void StoreOlderOptions(TempDir& dir) {
    setenv("QUAR_USER_REGISTRY", (dir / "user.reg").c_str(), 1);
    QuarInetOptions older;
    older.UseIEsettings = 0;
    older.Proxy = 1;
    snprintf(older.ProxyAddress, sizeof older.ProxyAddress, "old.example");
    older.ProxyPort = 81;
    ASSERT_TRUE(older.Save("torture"));
}

Result SaveOptions() {
    QuarInetOptions newer;
    newer.UseIEsettings = 0;
    newer.Proxy = 0;
    snprintf(newer.ProxyAddress, sizeof newer.ProxyAddress, "new.example");
    newer.ProxyPort = 8080;
    const bool saved = newer.Save("torture");
    QuarInetOptions back;
    back.Load("torture");
    const std::string data = std::string(ValueState(back.Proxy == 0, back.Proxy == 1)) + " " +
                             ValueState(strcmp(back.ProxyAddress, "new.example") == 0,
                                        strcmp(back.ProxyAddress, "old.example") == 0) +
                             " " + ValueState(back.ProxyPort == 8080, back.ProxyPort == 81);
    return {saved ? 0u : 1u, data};
}

const std::vector<Scenario>& Scenarios() {
    static const std::string gz = GzipBytes("decoded text, decoded text");
    static const std::vector<Scenario> scenarios = {
        {"get", kHeap | kSocket, true, {}, [](TempDir&) { return Exchange({{kOk}}); }},
        {"redirect",
         kHeap | kSocket,
         true,
         {},
         [](TempDir&) {
             return Exchange({{"HTTP/1.0 302 Found\r\nLocation: /b\r\n\r\nmoved"}, {kOk}});
         }},
        {"multipart", kHeap, true, {}, [](TempDir&) { return Multipart(); }},
        // Without memory to decode, the body comes as it came, its encoding header with it.
        {"gzip body",
         kHeap | kSocket,
         false,
         {},
         [](TempDir&) {
             const std::string head = "HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\n\r\n";
             Result r = Exchange({{head + gz}});
             r.data = r.data == head + "|" + gz ? "as it came" : r.data;
             return r;
         }},
        {"named host",
         kHeap | kSocket,
         false,
         {},
         [](TempDir&) { return Exchange({{kOk}}, "localhost"); }},
        {"post",
         kHeap | kSocket,
         false,
         {},
         [](TempDir&) { return Exchange({{kOk}}, "127.0.0.1", "POST", std::string(70000, 'p')); }},
        {"worker thread", kHeap | kSocket, false, {}, [](TempDir&) { return OnWorker(); }},
        {"unpack", kHeap, false, {}, [](TempDir&) { return Unpack(); }},
        {"save settings", kRegistry, false, StoreOlderOptions,
         [](TempDir&) { return SaveOptions(); }},
    };
    return scenarios;
}

TEST(Torture, EveryFailureEndsCleanly) {
    const char* which = getenv("QUAR_TORTURE");
    const bool all = which != nullptr && strcmp(which, "all") == 0;
    for (const Scenario& s : Scenarios()) {
        if (!all && !s.inShortRun) {
            continue;
        }
        SCOPED_TRACE(s.name);
        TempDir dir;
        setenv("QUAR_USER_REGISTRY", (dir / "user.reg").c_str(), 1);
        if (s.prepare) {
            s.prepare(dir);
        }
        failure_point::Arm(s.sites, 0);
        const Result clean = s.run(dir);
        const uint64_t calls = failure_point::Count();
        failure_point::Disarm();
        ASSERT_EQ(0u, clean.code) << "the scenario succeeds without failures";
        ASSERT_GT(calls, 0u) << "the scenario reaches its seams";
        printf("%s: %llu calls failed in turn\n", s.name, static_cast<unsigned long long>(calls));
        for (uint64_t n = 1; n <= calls; ++n) {
            SCOPED_TRACE("call " + std::to_string(n) + " of " + std::to_string(calls) + " fails");
            if (s.prepare) {
                s.prepare(dir);
            }
            failure_point::Arm(s.sites, n);
            const Result r = s.run(dir);
            failure_point::Disarm();
            EXPECT_EQ(1u, kDocumented.count(r.code)) << "result " << r.code;
            EXPECT_EQ(std::string::npos, r.data.find("torn")) << r.data;
            if (r.code == 0) {
                EXPECT_TRUE(r.data == clean.data || r.data == "as it came") << r.data;
            }
        }
    }
}

// The platform internet library bound with each module call failing in turn (the load, then each
// lookup): the table is whole or unavailable, so that no request calls through a missing entry;
// only the optional functions (options, the streamed send) may be missing from a table in use.
TEST(Torture, EachModuleCallFailing) {
    setenv("QUAR_WININET_MODULE", WININET_LAYER, 1);
    failure_point::Arm(kModule, 0);
    const bool whole = inet::BindWinInetTable(inet::LoadModule("WININET.DLL"))->Available();
    const uint64_t calls = failure_point::Count();
    failure_point::Disarm();
    ASSERT_TRUE(whole);
    for (uint64_t n = 1; n <= calls; ++n) {
        SCOPED_TRACE("call " + std::to_string(n) + " of " + std::to_string(calls) + " fails");
        failure_point::Arm(kModule, n);
        const auto table = inet::BindWinInetTable(inet::LoadModule("WININET.DLL"));
        failure_point::Disarm();
        const bool optionMissing =
            table->InternetQueryOptionA == nullptr || table->InternetSetOptionA == nullptr ||
            table->HttpSendRequestExA == nullptr || table->InternetWriteFile == nullptr ||
            table->HttpEndRequestA == nullptr;
        EXPECT_TRUE(table->Available() ? optionMissing
                                       : table->HttpOpenRequestA == nullptr &&
                                             table->InternetReadFile == nullptr &&
                                             table->InternetCloseHandle == nullptr);
    }
    unsetenv("QUAR_WININET_MODULE");
}

}  // namespace
