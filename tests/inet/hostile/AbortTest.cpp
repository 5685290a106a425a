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

uint32_t CancelledCode(Transport t) {
    return t == Transport::kSocket ? uint32_t{QUARINET_ERROR_ABORTED} : 12017u;
}

TEST_F(AbortRules, AbortEndsTheRequestAtEveryStep) {
    RawServer silent({RawReply::Silent()});
    struct Case {
        const char* name;
        const char* host;
        std::chrono::microseconds delay;  // between OpenUrl and Abort
    };
    const Case cases[] = {
        {"at once", "127.0.0.1", std::chrono::microseconds(0)},
        {"during a slow lookup, at once", "slow.test", std::chrono::microseconds(0)},
        {"during a slow lookup, after 100 us", "slow.test", std::chrono::microseconds(100)},
        {"during a slow lookup, after 1 ms", "slow.test", std::chrono::microseconds(1000)},
        {"during a slow lookup, after 50 ms", "slow.test", std::chrono::microseconds(50000)},
        {"waiting for a silent server", "127.0.0.1", std::chrono::microseconds(300000)},
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
            const auto took = Clock::now() - aborted;
            QuarInetCloseThread(thread);
            EXPECT_LT(took, std::chrono::milliseconds(250))
                << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
            EXPECT_EQ(CancelledCode(t), result) << QuarInetGetErrorDescription(result);
            EXPECT_EQ(0xBEEFu, second);
            EXPECT_EQ(1, request->Aborted);
        }
    }
}

}  // namespace
