// The loopback servers' own promises: a server that cannot start throws and leaves no process
// behind, a stopped process is gone even when it ignores SIGTERM, and readiness is seen.
#include <errno.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "support/LoopbackServers.h"
#include "support/RawServer.h"

namespace {

// True when this process has no child left, running or unreaped.
bool NoChildLeft() {
    return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

TEST(LoopbackServers, StartFailureThrowsAndStopsTheServer) {
    struct Case {
        const char* name;
        std::function<void()> start;
    };
    const Case cases[] = {
        {"lighttpd with a TLS certificate that is missing",
         [] {
             Lighttpd("/", 0, {{FreeLoopbackPort(), "/nonexistent/quar.pem"}});
         }},
        {"lighttpd with a module it does not have",
         [] { Lighttpd("/", 0, {}, "server.modules += (\"mod_quar_none\")\n"); }},
        {"tinyproxy with a configuration it cannot read",
         [] { Tinyproxy("user", "password", "NoSuchDirective yes\n"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(c.start(), std::runtime_error);
        EXPECT_TRUE(NoChildLeft());
    }
}

TEST(LoopbackServers, StoppedProcessIsGoneAndReaped) {
    // Each script says "ready" through a pipe once its signal handling is set.
    const char* const scripts[] = {
        "echo ready",                                             // ended before the stop
        "echo ready; while :; do sleep 0.1; done",                // ends on SIGTERM
        "trap '' TERM; echo ready; while :; do sleep 0.1; done",  // needs SIGKILL
    };
    for (const char* script : scripts) {
        SCOPED_TRACE(script);
        TempDir dir;
        ASSERT_EQ(mkfifo((dir / "ready").c_str(), 0600), 0);
        pid_t pid = 0;
        {
            ChildProcess child({"sh", "-c", "exec > " + (dir / "ready") + "; " + script});
            pid = child.pid();
            std::ifstream ready(dir / "ready");
            std::string line;
            EXPECT_TRUE(std::getline(ready, line));
            EXPECT_EQ(line, "ready");
        }
        EXPECT_EQ(kill(pid, 0), -1);
        EXPECT_TRUE(NoChildLeft());
    }
}

TEST(LoopbackServers, ReadinessIsSeenOnlyWhereSomethingListens) {
    RawServer listening({RawReply::Silent()});
    EXPECT_TRUE(WaitForLoopbackPort(listening.port(), 2000));
    EXPECT_FALSE(WaitForLoopbackPort(FreeLoopbackPort(), 100));
    // A server that has ended is not waited for to the end of the time-out.
    ChildProcess ended({"true"});
    EXPECT_FALSE(WaitForLoopbackPort(FreeLoopbackPort(), 60000, &ended));
}

}  // namespace
