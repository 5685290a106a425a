// The browser-settings transport against a stand-in for the platform internet library that
// records its calls: order and arguments, the optional and required entry points, the error
// dialog's answers, the body buffer's growth, the events and the results.
#include <dlfcn.h>
#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "GzipBytes.h"
#include "PieceSource.h"
#include "QuarInet.h"
#include "inet/InetHeap.h"
#include "inet/WinInetState.h"
#include "inet/WinInetTable.h"
#include "wininet/StandInLayer.h"

namespace {

using namespace wininet;

// A request over a table of its own.
class WatchedRequest : public QuarInetHttpRequestWinInetImpl {
  public:
    WatchedRequest(const QuarInetWinInetTable* table, QuarInetStatusCallback callback)
        : QuarInetHttpRequestWinInetImpl(callback, nullptr) {
        QuarInetWinInetState::Of(*this).table = table;
    }
    // A plain GET of "/" from h:80, the request every case but the first makes.
    uint32_t SendGet() { return Send("h", 80, "GET", "/", nullptr, 0, nullptr, 0); }
};

struct Event {
    void* handle;
    uintptr_t context;
    uint32_t status;
    uint32_t count;  // the count an event of 40 or 41 carries
};
std::vector<Event> events;

void RecordEvent(void* handle, uintptr_t context, uint32_t status, void* info, uint32_t length) {
    const uint32_t count = length == 4 ? *static_cast<const uint32_t*>(info) : 0;
    events.push_back({handle, context, status, count});
}

// A response as Receive hands it over; released with the library's own function.
struct Response {
    ~Response() {
        QuarInetFree(headers);
        QuarInetFree(body);
    }
    // Receive of `request` into this response.
    uint32_t From(QuarInetHttpRequestWinInetImpl& request) {
        return request.Receive(headers, headersLength, body, bodyLength);
    }
    char* headers = nullptr;
    uint32_t headersLength = 0;
    char* body = nullptr;
    uint32_t bodyLength = 0;
};

class WinInetTransport : public ::testing::Test {
  protected:
    void SetUp() override {
        events.clear();
        setenv("QUAR_WININET_MODULE", STAND_IN_LAYER, 1);
        unsetenv("QUAR_HIDE_MODULES");
        module_ = dlopen(STAND_IN_LAYER, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module_, nullptr) << dlerror();
        start_ = reinterpret_cast<StandInStartFn>(dlsym(module_, "StandInStart"));
        record_ = reinterpret_cast<StandInRecordFn>(dlsym(module_, "StandInRecord"));
    }
    void TearDown() override {
        unsetenv("QUAR_WININET_MODULE");
        unsetenv("QUAR_HIDE_MODULES");
        dlclose(module_);
    }

    // The table as the transport binds it, with `hidden` entry points ("WININET.DLL!name").
    std::unique_ptr<QuarInetWinInetTable> Table(const char* hidden = "") {
        setenv("QUAR_HIDE_MODULES", hidden, 1);
        return inet::BindWinInetTable(inet::LoadModule("WININET.DLL"));
    }

    // The calls recorded since the script started.
    std::vector<std::string> Calls() const {
        std::vector<std::string> calls;
        const std::string text = record_();
        for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
             start = end + 1) {
            calls.push_back(text.substr(start, end - start));
        }
        return calls;
    }

    void* module_ = nullptr;
    StandInStartFn start_ = nullptr;
    StandInRecordFn record_ = nullptr;
};

TEST_F(WinInetTransport, CallsTheLibraryInItsOrderWithItsArguments) {
    const auto table = Table();
    const uint32_t blocks[] = {5};
    StandInScript script;
    script.headers = "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\n";
    script.blocks = blocks;
    script.blockCount = 1;
    script.body = "hello";
    script.bodyLength = 5;
    start_(&script);
    Response response;
    auto request = std::make_unique<WatchedRequest>(table.get(), RecordEvent);
    const std::string context = std::to_string(reinterpret_cast<uintptr_t>(request.get()));
    ASSERT_EQ(request->Send("example.test", 8080, "POST", "/form?x=1", "X-A: 1", 6, "a=b", 3), 0u);
    ASSERT_EQ(response.From(*request), 0u);
    EXPECT_EQ(std::string(response.body, response.bodyLength), "hello");
    EXPECT_EQ(response.headersLength, strlen(script.headers));
    request.reset();
    {
        const std::vector<std::string> expected = {
            "InternetOpenA(QuarInet,0,null,null,0)",
            "InternetSetOptionA(session,2,30000,4)",
            "InternetSetOptionA(session,6,300000,4)",
            "InternetSetStatusCallback(session,callback)",
            "InternetConnectA(session,example.test,8080,null,null,3,0," + context + ")",
            "HttpOpenRequestA(connection,POST,/form?x=1,HTTP/1.0,null,null,0x04400000," + context +
                ")",
            "HttpSendRequestA(request,X-A: 1,6,a=b,3)",
            "InternetErrorDlg(null,request,0,7,null)",
            "HttpQueryInfoA(request,22,null,0,null)",
            // The size the library asked for (the NUL included), and room for the NUL that the
            // transport keeps after the block.
            "HttpQueryInfoA(request,22,buffer," + std::to_string(strlen(script.headers) + 2) +
                ",null)",
            "InternetQueryDataAvailable(request,0,0)",
            "InternetReadFile(request,5)",
            "InternetQueryDataAvailable(request,0,0)",
            "InternetReadFile(request,0)",
            // The destructor: the callback leaves the session before the handles close.
            "InternetSetStatusCallback(session,null)",
            "InternetCloseHandle(request)",
            "InternetCloseHandle(connection)",
            "InternetCloseHandle(session)",
        };
        EXPECT_EQ(Calls(), expected);
    }
    // The library's own event reached the callback with the request as context; the transport
    // reported the bytes read on the session handle, then the total.
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].status, INTERNET_STATUS_SENDING_REQUEST);
    EXPECT_EQ(events[1].status, INTERNET_STATUS_RECEIVING_RESPONSE);
    EXPECT_EQ(events[1].count, 5u);
    EXPECT_EQ(events[2].status, INTERNET_STATUS_RECEIVING_RESPONSE);
    EXPECT_EQ(events[3].status, INTERNET_STATUS_RESPONSE_RECEIVED);
    EXPECT_EQ(events[3].count, 5u);
    EXPECT_EQ(events[1].context, events[0].context);
    EXPECT_NE(events[1].handle, nullptr);
    EXPECT_EQ(events[1].handle, events[3].handle);
}

TEST_F(WinInetTransport, TimeOutsOnlyWhenTheLibrarySetsOptions) {
    const auto table = Table("WININET.DLL!InternetSetOptionA,WININET.DLL!InternetQueryOptionA");
    ASSERT_TRUE(table->Available());
    StandInScript script;
    start_(&script);
    WatchedRequest request(table.get(), nullptr);
    ASSERT_EQ(request.SendGet(), 0u);
    Response response;
    EXPECT_EQ(response.From(request), 0u);
    for (const std::string& call : Calls()) {
        EXPECT_EQ(call.find("Option"), std::string::npos) << call;
        // No callback was given: none is registered.
        EXPECT_EQ(call.find("InternetSetStatusCallback"), std::string::npos) << call;
    }
}

TEST_F(WinInetTransport, MissingLibraryOrRequiredEntryPointIsNoTransport) {
    const char* const hidden[] = {
        "WININET.DLL",
        "WININET.DLL!HttpOpenRequestA",
        "WININET.DLL!HttpQueryInfoA",
        "WININET.DLL!HttpSendRequestA",
        "WININET.DLL!InternetCloseHandle",
        "WININET.DLL!InternetConnectA",
        "WININET.DLL!InternetOpenA",
        "WININET.DLL!InternetQueryDataAvailable",
        "WININET.DLL!InternetReadFile",
        "WININET.DLL!InternetSetStatusCallback",
        "WININET.DLL!InternetErrorDlg",
        "WININET.DLL!QuarWinInetGetLastError",
    };
    for (const char* name : hidden) {
        SCOPED_TRACE(name);
        const auto table = Table(name);
        EXPECT_FALSE(table->Available());
        StandInScript script;
        start_(&script);
        {
            WatchedRequest request(table.get(), RecordEvent);
            EXPECT_EQ(request.SendGet(), 12004u);
            Response response;
            EXPECT_EQ(response.From(request), 12004u);
            request.Abort(0);
            EXPECT_EQ(request.Aborted, 1);
        }
        EXPECT_EQ(record_(), std::string());
    }
}

TEST_F(WinInetTransport, ErrorDialogAnswers) {
    const auto table = Table();
    struct Case {
        const char* name;
        std::vector<uint32_t> sendErrors;
        std::vector<uint32_t> answers;
        uint32_t result;
        size_t sends;
    };
    const uint32_t kRetry = ERROR_INTERNET_FORCE_RETRY;
    const Case cases[] = {
        {"nothing to ask", {}, {}, 0, 1},
        {"send failed, nothing to ask", {ERROR_INTERNET_CANNOT_CONNECT}, {}, 12029, 1},
        {"invalid handle", {}, {ERROR_INVALID_HANDLE}, 6, 1},
        {"cancelled", {}, {ERROR_CANCELLED}, 12003, 1},
        {"retry once", {ERROR_INTERNET_LOGIN_FAILURE}, {kRetry, 0}, 0, 2},
        {"retry, then the send fails", {0, ERROR_INTERNET_TIMEOUT}, {kRetry, 0}, 12002, 2},
        {"retry asked for ever",
         {ERROR_INTERNET_LOGIN_FAILURE, ERROR_INTERNET_LOGIN_FAILURE, ERROR_INTERNET_LOGIN_FAILURE,
          ERROR_INTERNET_LOGIN_FAILURE, ERROR_INTERNET_LOGIN_FAILURE},
         {kRetry, kRetry, kRetry, kRetry, kRetry, kRetry},
         12015,
         kMaxErrorDialogRetries + 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StandInScript script;
        script.sendErrors = c.sendErrors.data();
        script.sendErrorCount = static_cast<int>(c.sendErrors.size());
        script.dialogAnswers = c.answers.data();
        script.dialogAnswerCount = static_cast<int>(c.answers.size());
        start_(&script);
        WatchedRequest request(table.get(), nullptr);
        EXPECT_EQ(request.SendGet(), c.result);
        size_t sends = 0;
        for (const std::string& call : Calls()) {
            sends += call.rfind("HttpSendRequestA", 0) == 0 ? 1 : 0;
        }
        EXPECT_EQ(sends, c.sends);
    }
}

TEST_F(WinInetTransport, BodyFromASourceIsWrittenPieceByPiece) {
    const uint32_t kRetry = ERROR_INTERNET_FORCE_RETRY;
    const std::vector<std::string> once = {
        "HttpSendRequestExA(request,X-A: 1,5)", "InternetWriteFile(request,ab)",
        "InternetWriteFile(request,cd)", "InternetWriteFile(request,e)",
        "HttpEndRequestA(request)"};
    std::vector<std::string> twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    struct Case {
        const char* name;
        const char* hidden;
        std::vector<uint32_t> sendErrors;
        std::vector<uint32_t> answers;
        uint32_t failAt;
        uint32_t result;
        std::vector<std::string> calls;  // of the streamed send
        int rewinds;
    };
    const Case cases[] = {
        {"pieces in order", "", {}, {}, 0, 0, once, 0},
        {"a redirect wants the body again", "", {kRetry}, {}, 0, 0, twice, 1},
        {"the dialog asks for a retry",
         "",
         {ERROR_INTERNET_LOGIN_FAILURE},
         {kRetry},
         0,
         0,
         twice,
         1},
        {"the source stops the send", "", {}, {}, 2, 0x20000003, {once[0], once[1]}, 0},
        {"a library without the streamed send",
         "WININET.DLL!InternetWriteFile",
         {},
         {},
         0,
         12004,
         {},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto table = Table(c.hidden);
        StandInScript script;
        script.sendErrors = c.sendErrors.data();
        script.sendErrorCount = static_cast<int>(c.sendErrors.size());
        script.dialogAnswers = c.answers.data();
        script.dialogAnswerCount = static_cast<int>(c.answers.size());
        start_(&script);
        PieceSource pieces{{"ab", "cd", "e"}, 0, c.failAt};
        const QuarInetBodySource source{&pieces, 5, &PieceSource::Next, &PieceSource::Rewind};
        WatchedRequest request(table.get(), nullptr);
        request.BodySource = &source;
        EXPECT_EQ(request.Send("h", 80, "POST", "/", "X-A: 1", 6, "ignored", 7), c.result);
        std::vector<std::string> calls;
        for (const std::string& call : Calls()) {
            for (const char* name : {"HttpSendRequest", "InternetWriteFile", "HttpEndRequestA"}) {
                if (call.rfind(name, 0) == 0) {
                    calls.push_back(call);
                }
            }
        }
        EXPECT_EQ(calls, c.calls);
        EXPECT_EQ(pieces.rewinds, c.rewinds);
    }
}

// The growth rule itself is the block's (GrowBlock's tests); here the body comes whole through
// it, with the counts reported as the blocks arrive.
TEST_F(WinInetTransport, BodyBufferGrowsByTheBlocksAtHand) {
    const auto table = Table();
    struct Case {
        const char* name;
        std::vector<uint32_t> blocks;
    };
    const Case cases[] = {
        {"empty body", {}},
        {"blocks of 8192", {8192, 8192, 8192}},
        {"a large body in smaller blocks", {2000000, 100000}},
        {"a body past the room faulted in ahead", std::vector<uint32_t>(7, 2000000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StandInScript script;
        script.blocks = c.blocks.data();
        script.blockCount = static_cast<int>(c.blocks.size());
        start_(&script);
        events.clear();
        WatchedRequest request(table.get(), RecordEvent);
        ASSERT_EQ(request.SendGet(), 0u);
        Response response;
        ASSERT_EQ(response.From(request), 0u);
        uint32_t total = 0;
        std::vector<uint32_t> counts;
        for (uint32_t block : c.blocks) {
            total += block;
            counts.push_back(total);
        }
        counts.push_back(total);  // the read that finds the end
        EXPECT_EQ(response.bodyLength, total);
        EXPECT_EQ(std::string(response.body, response.bodyLength), std::string(total, 'x'));
        EXPECT_EQ(response.body[total], '\0');
        // What the body keeps past its end is bounded, whatever was faulted in ahead.
        EXPECT_LE(inet::HeapRoom(response.body), total + 1 + (2u << 20));
        std::vector<uint32_t> reported;
        for (const Event& event : events) {
            if (event.status == INTERNET_STATUS_RECEIVING_RESPONSE) {
                reported.push_back(event.count);
            }
        }
        EXPECT_EQ(reported, counts);
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back().status, INTERNET_STATUS_RESPONSE_RECEIVED);
        EXPECT_EQ(events.back().count, total);
    }
}

TEST_F(WinInetTransport, FinalStatusDecidesTheResult) {
    const auto table = Table();
    const std::string gzipped = GzipBytes("unpacked text");
    struct Case {
        const char* name;
        const char* headers;
        std::string body;
        uint32_t result;
        std::string delivered;  // the body as the caller gets it
    };
    const Case cases[] = {
        {"200", "HTTP/1.0 200 OK\r\n\r\n", "plain", 0, "plain"},
        {"200 gzip", "HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\n\r\n", gzipped, 0,
         "unpacked text"},
        {"404 delivered", "HTTP/1.0 404 Not Found\r\n\r\n", "missing", 12003, "missing"},
        {"302 not followed", "HTTP/1.0 302 Found\r\nLocation: /x\r\n\r\n", "moved", 12003, "moved"},
        {"gzip kept when not 200", "HTTP/1.0 500 Oops\r\nContent-Encoding: gzip\r\n\r\n", gzipped,
         12003, gzipped},
        {"no status line", "garbage", "body", 12152, "body"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const uint32_t blocks[] = {static_cast<uint32_t>(c.body.size())};
        StandInScript script;
        script.headers = c.headers;
        script.blocks = blocks;
        script.blockCount = 1;
        script.body = c.body.data();
        script.bodyLength = static_cast<uint32_t>(c.body.size());
        start_(&script);
        WatchedRequest request(table.get(), nullptr);
        ASSERT_EQ(request.SendGet(), 0u);
        Response response;
        EXPECT_EQ(response.From(request), c.result);
        ASSERT_NE(response.headers, nullptr);
        ASSERT_NE(response.body, nullptr);
        EXPECT_EQ(std::string(response.body, response.bodyLength), c.delivered);
    }
}

TEST_F(WinInetTransport, AbortClosesTheHandlesAndTheRequestStaysAborted) {
    const auto table = Table();
    StandInScript script;
    start_(&script);
    WatchedRequest request(table.get(), RecordEvent);
    Response response;
    EXPECT_EQ(response.From(request), 13u);
    ASSERT_EQ(request.SendGet(), 0u);
    start_(&script);
    request.Abort(0);
    EXPECT_EQ(request.Aborted, 1);
    EXPECT_EQ(request.SessionHandle, nullptr);
    const std::vector<std::string> closed = {"InternetCloseHandle(request)",
                                             "InternetCloseHandle(connection)",
                                             "InternetCloseHandle(session)"};
    EXPECT_EQ(Calls(), closed);
    EXPECT_EQ(response.From(request), 12017u);
    // The request stays aborted, as the socket transport's does: an Abort that comes before
    // the worker's Send is never lost. A later exchange opens no handles.
    EXPECT_EQ(request.SendGet(), 12017u);
    EXPECT_EQ(request.Aborted, 1);
    EXPECT_EQ(request.RequestHandle, nullptr);
}

}  // namespace
