// Rules of the socket transport that live below the public interface: the receive buffer's
// growth and bound (the one growable block and its rules), redirect resolution, Base64, and the
// missing socket library.
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "LibraryBuffer.h"
#include "inet/Base64.h"
#include "inet/GrowBlock.h"
#include "inet/InetHeap.h"
#include "inet/RedirectTarget.h"
#include "inet/SocketLibrary.h"
#include "inet/SocketRequest.h"
#include "support/RawServer.h"

namespace {

// A commit of all the room there is, as a read that fills the buffer makes.
constexpr size_t kFill = SIZE_MAX;

// Capacities after each read of the given sizes into a fresh block that grows by `rule` after
// each read, as the socket transport reads (0: the block could not take more).
std::vector<size_t> Capacities(const inet::GrowthRule& rule, const std::vector<size_t>& reads,
                               size_t limit) {
    inet::GrowBlock block(rule, limit);
    EXPECT_TRUE(block.Start());
    std::vector<size_t> out;
    for (size_t n : reads) {
        n = n == kFill ? block.RoomSize() : n;
        if (n > block.RoomSize()) {
            out.push_back(0);
            break;
        }
        block.Commit(n);
        if (!block.Prepare(1)) {
            out.push_back(0);
            break;
        }
        out.push_back(block.Capacity());
    }
    return out;
}

TEST(GrowBlock, ReceiveRuleGrowsByADoublingStepWithinItsLimit) {
    const size_t k = 1024;
    const size_t none = SIZE_MAX;
    struct Case {
        const char* name;
        std::vector<size_t> reads;
        size_t limit;
        std::vector<size_t> capacities;
    };
    const Case cases[] = {
        {"room of half a step left keeps the block", {25599}, none, {51200}},
        {"less than half a step of room grows by the doubled step", {25601}, none, {153600}},
        {"steps 102400, 204800, ... up to 1638400, then the same",
         {kFill, kFill, kFill, kFill, kFill, kFill, kFill},
         none,
         {153600, 358400, 768000, 1587200, 3225600, 4864000, 6502400}},
        {"the limit bounds the growth", {kFill, kFill}, 120 * k, {120 * k, 0}},
        {"the room under the limit is still used",
         {kFill, 1000, kFill},
         120 * k,
         {120 * k, 120 * k, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.capacities, Capacities(inet::kReceiveGrowth, c.reads, c.limit));
    }
}

// Four times what is needed, and room past 100 bytes goes back.
size_t Quadruple(size_t capacity, size_t count, size_t more, size_t&) {
    return capacity > count + more ? capacity : (count + more + 1) * 4;
}
const inet::GrowthRule kQuadrupleSlack100{0, 0, &Quadruple, 100};

// Appends of the given sizes (each a Prepare for the block at hand), then Release: the
// capacities each append left, and the room the released block keeps.
TEST(GrowBlock, AppendsKeepBytesAndReleaseGivesBackRoomBeyondTheSlack) {
    struct Case {
        const char* name;
        const inet::GrowthRule* rule;
        std::vector<size_t> appends;
        std::vector<size_t> capacities;
        size_t releasedRoomAtMost;
    };
    const Case cases[] = {
        {"block at hand: twice what is needed",
         &inet::kBlockAtHandGrowth,
         {8192, 8192, 8192},
         {16386, 16386, 49154},
         49154},
        // Room within 2 MiB of the bytes stays (the heap rounds a large block to 4 MiB).
        {"block at hand: a large block gets one step more",
         &inet::kBlockAtHandGrowth,
         {2000000, 100000},
         {2000001, 3048577},
         4u << 20},
        {"block at hand: one step more for each large block",
         &inet::kBlockAtHandGrowth,
         std::vector<size_t>(7, 2000000),
         {2000001, 4000002, 6000003, 8000004, 10000005, 12000006, 14000007},
         14000001 + (2u << 20)},
        {"room beyond the rule's slack goes back", &kQuadrupleSlack100, {1000}, {4004}, 1001},
        {"room within the rule's slack stays",
         &kQuadrupleSlack100,
         {1000, 2950},
         {4004, 4004},
         4004},
        {"doubling", &inet::kDoublingGrowth, {1, 600, 2000}, {512, 1536, 3584}, 2602},
        {"receive rule: trimmed to the bytes", &inet::kReceiveGrowth, {100}, {51200}, 101},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        inet::GrowBlock block(*c.rule);
        ASSERT_TRUE(block.Start());
        std::string expected;
        std::vector<size_t> capacities;
        for (size_t n : c.appends) {
            const std::string piece(n, static_cast<char>('a' + capacities.size()));
            ASSERT_TRUE(block.Append(piece.data(), n));
            expected += piece;
            capacities.push_back(block.Capacity());
        }
        EXPECT_EQ(c.capacities, capacities);
        inet::HeapPtr<char> released = block.Release();
        ASSERT_NE(nullptr, released);
        EXPECT_EQ(expected, std::string(released.get(), expected.size()));
        EXPECT_EQ('\0', released.get()[expected.size()]);
        EXPECT_LE(inet::HeapRoom(released.get()), c.releasedRoomAtMost);
        EXPECT_EQ(0u, block.Count());
    }
}

TEST(SocketTransport, RefusesOversizedResponses) {
    const std::string body(300000, 'x');
    RawServer server({RawReply::Plain("HTTP/1.0 200 OK\r\n\r\n" + body)});
    struct Case {
        size_t limit;
        uint32_t result;
    };
    for (const Case& c : {Case{inet::kDefaultResponseLimit, 0}, Case{200000, 8}}) {
        QuarInetOptions options;
        options.UseIEsettings = 0;
        QuarInetHttpRequestWinSockImpl request(options, nullptr, nullptr);
        QuarInetWinSockState::Of(request).responseLimit = c.limit;
        ASSERT_EQ(0u, request.Send("127.0.0.1", server.port(), "GET", "/", nullptr, 0, nullptr, 0));
        char* h = nullptr;
        char* b = nullptr;
        uint32_t hl = 0, bl = 0;
        EXPECT_EQ(c.result, request.Receive(h, hl, b, bl));
        LibraryBuffer<char> headers(h), received(b);
        if (c.result == 0) {
            EXPECT_EQ(body.size(), bl);
        } else {
            EXPECT_EQ(nullptr, b);
        }
    }
}

TEST(RedirectTarget, ResolvesReferencesAgainstTheRequest) {
    const inet::HttpTarget base{"a", 8080, "/b/c/d;p?q"};
    struct Case {
        const char* location;
        const char* host;  // null: not followed
        uint32_t port;
        const char* path;
    };
    const Case cases[] = {
        {"g", "a", 8080, "/b/c/g"},
        {"./g", "a", 8080, "/b/c/g"},
        {"g/", "a", 8080, "/b/c/g/"},
        {"/g", "a", 8080, "/g"},
        {"?y", "a", 8080, "/b/c/d;p?y"},
        {"g?y#s", "a", 8080, "/b/c/g?y"},
        {"", "a", 8080, "/b/c/d;p?q"},
        {"..", "a", 8080, "/b/"},
        {"../..", "a", 8080, "/"},
        {"../../../g", "a", 8080, "/g"},
        {"/./g/.", "a", 8080, "/g/"},
        {"//other/x", "other", 80, "/x"},
        {"//other", "other", 80, "/"},
        {"HTTP://h:81/x", "h", 81, "/x"},
        {"http://h:/x", "h", 80, "/x"},
        {"https://h/x", nullptr, 0, nullptr},
        {"ftp://h/x", nullptr, 0, nullptr},
        {"http://user:pw@h/x", nullptr, 0, nullptr},
        {"http://h:99999/x", nullptr, 0, nullptr},
        {"http://h:0/x", nullptr, 0, nullptr},
        {"http:///x", nullptr, 0, nullptr},
        {"http://[::1]/x", "::1", 80, "/x"},
        {"http://[::1]:81/x", "::1", 81, "/x"},
        {"http://[::1/x", nullptr, 0, nullptr},
        {"http://[::1]x/", nullptr, 0, nullptr},
        {"http://::1/x", nullptr, 0, nullptr},
        {"/a\r\nX: y", nullptr, 0, nullptr},
        {"/a b\tc\x01"
         "d\x7f\xc3\xa9",
         "a", 8080, "/a%20b%09c%01d%7F%C3%A9"},
        {"/a HTTP/1.1\x0bX: y", "a", 8080, "/a%20HTTP/1.1%0BX:%20y"},
        {"http://h\x01/x", nullptr, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.location);
        const auto target = inet::ResolveRedirect(base, c.location);
        ASSERT_EQ(c.host != nullptr, target.has_value());
        if (target) {
            EXPECT_EQ((inet::HttpTarget{c.host, c.port, c.path}), *target);
        }
    }
    EXPECT_FALSE(inet::ResolveRedirect(base, "http://" + std::string(260, 'h') + "/").has_value());
    EXPECT_TRUE(inet::ResolveRedirect(base, "http://" + std::string(259, 'h') + "/").has_value());
}

TEST(Base64, EncodesAndDecodesAsStoredPasswordsAndCredentials) {
    struct Case {
        std::string plain;
        const char* encoded;
    };
    const Case cases[] = {
        {"", ""},
        {"a", "YQ=="},
        {"ab", "YWI="},
        {"abc", "YWJj"},
        {"user:pass", "dXNlcjpwYXNz"},
        {std::string("\xff\xfe\0", 3), "//4A"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.encoded, inet::Base64Encode(c.plain.data(), c.plain.size()));
        EXPECT_EQ(c.plain, inet::Base64Decode(c.encoded, 259));
    }
    // Leading blanks are skipped; decoding stops at the first character outside the alphabet.
    EXPECT_EQ("abc", inet::Base64Decode(" \tYWJj", 259));
    EXPECT_EQ("ab", inet::Base64Decode("YWI=YWJj", 259));
    EXPECT_EQ("user", inet::Base64Decode("dXNlcjpwYXNz", 4));
    EXPECT_EQ("", inet::Base64Decode(nullptr, 259));
}

// A name lookup that takes far longer than any test waits.
int EndlessLookup(const char*, const char*, const addrinfo*, addrinfo**) {
    std::this_thread::sleep_for(std::chrono::seconds(20));
    return EAI_AGAIN;
}

TEST(SocketTransport, NameLookupEndsByAbortOrTimeOut) {
    inet::SocketLibrary slow = *inet::SocketTable();
    slow.getaddrinfo = &EndlessLookup;
    struct Case {
        const char* name;
        uint32_t connectTimeout;
        bool abort;
        uint32_t result;
    };
    for (const Case& c : {Case{"abort", 0, true, QUARINET_ERROR_ABORTED},
                          Case{"time-out", 200, false, QUARINET_ERROR_TIMED_OUT}}) {
        SCOPED_TRACE(c.name);
        QuarInetOptions options;
        QuarInetHttpRequestWinSockImpl request(options, nullptr, nullptr);
        QuarInetWinSockState::Of(request).library = &slow;
        request.ConnectTimeout = c.connectTimeout;
        uint32_t result = 0;
        QuarInetThread thread = request.OpenUrl("name.example", 80, "GET", "/", nullptr, 0, nullptr,
                                                0, nullptr, nullptr, nullptr, nullptr, &result);
        if (c.abort) {
            EXPECT_EQ(QUARINET_WAIT_TIMEOUT, QuarInetWaitForThread(thread, 200));
            request.Abort(0);
        }
        ASSERT_EQ(QUARINET_WAIT_OBJECT_0, QuarInetWaitForThread(thread, 3000));
        QuarInetCloseThread(thread);
        EXPECT_EQ(c.result, result);
    }
}

// The checks of a process whose loader hides what $QUAR_HIDE_MODULES names; run only by the
// test below, in a process of its own (the socket table is loaded once per process).
TEST(DISABLED_SocketLibraryHidden, NoTransport) {
    QuarInetOptions options;
    QuarInetHttpRequestWinSockImpl request(options, nullptr, nullptr);
    EXPECT_EQ(QUARINET_ERROR_NO_TRANSPORT,
              request.Send("127.0.0.1", 1, "GET", "/", nullptr, 0, nullptr, 0));
    char* h = nullptr;
    char* b = nullptr;
    uint32_t hl = 0, bl = 0;
    EXPECT_EQ(QUARINET_ERROR_NO_TRANSPORT, request.Receive(h, hl, b, bl));
    QuarInetHttpConnection connection("none");
    EXPECT_EQ(nullptr, connection.CreateRequest(nullptr));
}

TEST(SocketLibrary, MissingModuleOrEntryPointLeavesNoTransport) {
    for (const char* hidden : {"WSOCK32.DLL", "WSOCK32.DLL!recv", "WSOCK32.DLL!WSACleanup"}) {
        SCOPED_TRACE(hidden);
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("QUAR_HIDE_MODULES", hidden, 1);
            setenv("QUAR_USER_REGISTRY", "/nonexistent/user.reg", 1);
            execl("/proc/self/exe", "inet_transport_test", "--gtest_also_run_disabled_tests",
                  "--gtest_filter=DISABLED_SocketLibraryHidden.*", static_cast<char*>(nullptr));
            _exit(98);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
}

}  // namespace
