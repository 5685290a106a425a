// Abort through both transports at every moment of a request: before its worker has started,
// while its name is being looked up (slowly: see TestNames.cpp), and while the server is
// silent. Each ends within a short time with the transport's cancellation code, and a second
// OpenUrl while a worker runs is refused.
#include <chrono>
#include <memory>
#include <thread>

#include "BothTransports.h"
#include "QuarInet.h"
#include "support/RawServer.h"

namespace {

using Clock = std::chrono::steady_clock;
using AbortRules = BothTransports;

// How soon an aborted request has ended. The sanitizers make what an Abort cannot cut short
// (libcurl setting up a transfer's handles, the thread's start and end) several times slower:
// about 30 ms of handle set-up alone under ThreadSanitizer on a busy machine of two cores.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer) || __has_feature(address_sanitizer)
#define ABORT_TEST_SANITIZED 1
#endif
#endif
#ifdef ABORT_TEST_SANITIZED
constexpr std::chrono::milliseconds kAbortBound(250);
#else
constexpr std::chrono::milliseconds kAbortBound(100);
#endif

uint32_t CancelledCode(Transport t) {
    return t == Transport::kSocket ? uint32_t{QUARINET_ERROR_ABORTED} : 12017u;
}

// Each row fires Abort a given time after OpenUrl at a request whose server is reached at once
// and then stays silent, or whose name lookup is slow. The request has ended when its worker
// has, its handle is closed (the thread joined) and it is deleted.
TEST_F(AbortRules, AbortEndsTheRequestAtEveryStep) {
    RawServer silent({RawReply::Silent()});
    struct Case {
        const char* name;
        const char* host;
        std::chrono::microseconds delay;  // between OpenUrl and Abort
    };
    using std::chrono::microseconds;
    const Case cases[] = {
        {"silent server, at once", "127.0.0.1", microseconds(0)},
        {"silent server, after 100 us", "127.0.0.1", microseconds(100)},
        {"silent server, after 1 ms", "127.0.0.1", microseconds(1000)},
        {"silent server, after 50 ms", "127.0.0.1", microseconds(50000)},
        {"silent server, after 300 ms", "127.0.0.1", microseconds(300000)},
        {"slow lookup, at once", "slow.test", microseconds(0)},
        {"slow lookup, after 100 us", "slow.test", microseconds(100)},
        {"slow lookup, after 1 ms", "slow.test", microseconds(1000)},
        {"slow lookup, after 50 ms", "slow.test", microseconds(50000)},
    };
    for (const Transport t : kBothTransports) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(NameOf(t)) + ": " + c.name);
            std::unique_ptr<QuarInetHttpRequest> request = MakeRequest(t);
            ASSERT_NE(nullptr, request);
            uint32_t result = 0xDEAD;
            QuarInetThread thread =
                request->OpenUrl(c.host, silent.port(), "GET", "/", nullptr, 0, nullptr, 0, nullptr,
                                 nullptr, nullptr, nullptr, &result);
            ASSERT_NE(nullptr, thread);
            std::this_thread::sleep_for(c.delay);
            // One worker at a time: this one's slots stay with the first.
            uint32_t second = 0xBEEF;
            EXPECT_EQ(nullptr,
                      request->OpenUrl(c.host, silent.port(), "GET", "/", nullptr, 0, nullptr, 0,
                                       nullptr, nullptr, nullptr, nullptr, &second));
            const Clock::time_point aborted = Clock::now();
            request->Abort(0);
            ASSERT_EQ(QUARINET_WAIT_OBJECT_0, QuarInetWaitForThread(thread, 10000));
            QuarInetCloseThread(thread);
            EXPECT_EQ(1, request->Aborted);
            request.reset();
            const auto took = Clock::now() - aborted;
            EXPECT_LT(took, kAbortBound)
                << std::chrono::duration_cast<std::chrono::microseconds>(took).count() << " us";
            EXPECT_EQ(CancelledCode(t), result) << QuarInetGetErrorDescription(result);
            EXPECT_EQ(0xBEEFu, second);
        }
    }
}

}  // namespace
