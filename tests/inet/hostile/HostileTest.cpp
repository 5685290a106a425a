// Both transports against a scripted server that answers wrongly in every way it can: each
// exchange ends with the expected code and delivers what came, and no failure passes for a
// success. The random run draws 2,000 exchanges per transport from the same rows.
#include <stdlib.h>

#include <random>
#include <string>

#include "BothTransports.h"
#include "HostileAnswers.h"
#include "QuarInet.h"
#include "support/LoopbackServers.h"

namespace {

using HostileServer = BothTransports;

void Check(const Expected& expected, const Answer& answer) {
    EXPECT_TRUE(answer.finished);
    EXPECT_EQ(expected.result, answer.result) << QuarInetGetErrorDescription(answer.result);
    if (expected.body != "*") {
        EXPECT_TRUE(expected.body == answer.body) << answer.body.substr(0, 200);
    }
}

Call CallFor(const RawServer& server, const HostileAnswer& row) {
    Call call;
    call.port = server.port();
    call.verb = row.verb;
    call.receiveTimeoutMs = row.slow ? 300 : 5000;
    return call;
}

#ifndef HOSTILE_RANDOM_RUN
// Each answer through each transport, on a worker as OpenUrl runs it, then one after another on
// the test's own thread, as a client that calls Send and Receive itself meets them: what one
// exchange leaves behind for the next on that thread (the layer's handles, its stage) must not
// change how the next one ends.
TEST_F(HostileServer, EveryKindOfMalformedAnswer) {
    const int closedPort = FreeLoopbackPort();
    for (const bool onWorker : {true, false}) {
        for (const Transport t : kBothTransports) {
            for (const HostileAnswer& row : HostileAnswers(closedPort)) {
                SCOPED_TRACE(std::string(NameOf(t)) + (onWorker ? "" : " on one thread") + ": " +
                             row.name);
                RawServer server(row.replies);
                Check(t == Transport::kSocket ? row.socket : row.layer,
                      Exchange(t, CallFor(server, row), onWorker));
            }
        }
    }
}
#else
TEST_F(HostileServer, RandomExchanges) {
    const int closedPort = FreeLoopbackPort();
    const std::vector<HostileAnswer> rows = HostileAnswers(closedPort);
    const char* seedText = getenv("QUAR_HOSTILE_SEED");
    const unsigned seed = seedText != nullptr ? unsigned(atoi(seedText)) : std::random_device{}();
    std::mt19937 random(seed);
    RecordProperty("seed", std::to_string(seed));
    for (const Transport t : kBothTransports) {
        for (int i = 0; i < 2000; ++i) {
            const HostileAnswer& row = rows[random() % rows.size()];
            if (row.slow) {
                continue;
            }
            SCOPED_TRACE(std::string(NameOf(t)) + " #" + std::to_string(i) + " (seed " +
                         std::to_string(seed) + "): " + row.name);
            // The same answer, cut into pieces of a random size.
            std::vector<RawReply> replies = row.replies;
            for (RawReply& reply : replies) {
                if (reply.piece == 0 && reply.endless.empty() && random() % 2 == 0) {
                    reply.piece = 1 + random() % 64;
                }
            }
            RawServer server(replies);
            Check(t == Transport::kSocket ? row.socket : row.layer,
                  Exchange(t, CallFor(server, row)));
            if (HasFailure()) {
                return;
            }
        }
    }
}
#endif

}  // namespace
