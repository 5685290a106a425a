// What a page shows and logs when the settings or the session file cannot be written: the
// administration program runs in a child process with an Env that fails that one file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "admin/AdminApplication.h"
#include "admin/AdminSession.h"
#include "admin/OptionsPage.h"
#include "admin/SessionPages.h"
#include "platform/DataDirectory.h"
#include "platform/Env.h"
#include "platform/Registry.h"
#include "platform/Scramble.h"
#include "runtime/RunRequest.h"
#include "settings/SettingsStore.h"
#include "support/FaultyEnv.h"
#include "support/TempDir.h"

namespace {

constexpr std::time_t kNow = 1249049100;  // 07/31/2009 14:05 UTC
constexpr const char* kClient = "10.1.1.1";
const std::string kHeader = "Content-Type: text/html\r\nPragma: no-cache\r\n\r\n";

// The requests that write the settings or the session file.
const RequestEntry<AdminApplication> kRows[] = {
    {"init_base", HandleInitBase},
    {"login", HandleLogin},
    {"options", HandleOptions},
    {nullptr, nullptr},
};
const RequestTable<AdminApplication> kRequests = {kRows, nullptr};

class StorageFailure : public ::testing::Test {
  protected:
    StorageFailure() {
        site_.Write("cgi/quar_error.htx", "ERROR[<%err_msg%>]");
        site_.Write("cgi/quar_main.htx", "MAIN");
        site_.Write("cgi/quar_options.htx", "OPTIONS");
        site_.Write("data/.keep", "");
        site_.Write("tmp/.keep", "");
        OpenFileRegistry(site_ / "machine.reg", "/dev/null")
            ->SetText(Hive::ClassesRoot, DataDirectoryKey(), "", scramble(site_ / "data"));
        const std::string registry = site_ / "machine.reg";
        env_.SetRegistry([registry] { return OpenFileRegistry(registry, "/dev/null"); });
        env_.SetNow(kNow);
    }

    void Initialise() {
        ServerSettings s;
        s.Reset();
        s.companyName = "Acme";
        s.adminName = "Jo";
        s.adminPhone = "555";
        s.adminPassword = "secret";
        ASSERT_TRUE(SaveServerSettings(s, site_ / "data/", Env::Default()));
    }

    void LogIn(int idle = 0) {
        AdminSession session;
        session.version = AdminSession::kVersion;
        session.clientAddress = kClient;
        session.token = "tok";
        session.lastActivity = static_cast<uint32_t>(kNow - idle);
        site_.Write("data/quar_session.dat", StoreSession(session));
    }

    // Runs one request in a child process as a web server would, with env_ as its system.
    void Run(const char* query, const std::string& body) {
        site_.Write("body", body);
        const auto child = [&] {
            ::setenv("QUERY_STRING", query, 1);
            ::setenv("CONTENT_LENGTH", std::to_string(body.size()).c_str(), 1);
            ::setenv("REQUEST_METHOD", "POST", 1);
            ::setenv("REMOTE_ADDR", kClient, 1);
            ::setenv("TMP", (site_ / "tmp").c_str(), 1);
            ::setenv("TZ", "UTC", 1);
            ::unsetenv("QUAR_TEST_INPUT");
            if (::chdir((site_ / "cgi").c_str()) != 0 ||
                !std::freopen((site_ / "body").c_str(), "rb", stdin) ||
                !std::freopen((site_ / "page").c_str(), "wb", stdout)) {
                std::_Exit(2);
            }
            AdminApplication app;
            app.UsePlatform(env_);
            char program[] = "quarnbxadmin";
            char* argv[] = {program, nullptr};
            RunProgram(app, 1, argv, kRequests);
            std::_Exit(0);
        };
        EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
    }

    // The codes of the event log, oldest first.
    std::vector<std::string> EventCodes() const {
        std::vector<std::string> codes;
        std::istringstream log(site_.Read("data/quar_nbx_log.txt"));
        std::string line;
        while (std::getline(log, line)) {
            codes.push_back(line.substr(0, line.find('\t')));
        }
        return codes;
    }

    TempDir site_;
    FaultyEnv env_;
};

TEST_F(StorageFailure, UnwritableFilesRaiseTheirCodeOnTheErrorPage) {
    const std::string setUp =
        "compname=Acme&sysopname=Jo&sysoptel=555&sysopemail=&pswd1=secret&pswd2=secret";
    struct Case {
        const char* name;
        bool initialised;  // settings stored and the client logged in before the request
        int idle;          // seconds since the session's last activity
        const char* query;
        std::string body;
        int failingWrite;        // the request's nth write fails (0: none)
        const char* unopenable;  // a file that cannot be opened at all ("": none)
        const char* code;
        bool settingsStored;  // a settings file is there afterwards
        bool sessionKept;     // the session file is there afterwards
    };
    // The writes of a request in order: the session's last activity (pages behind the login,
    // only when its second has changed), the settings, the new session (set-up), the event log.
    const std::string options = "snd=Submit&sysopname=Max&sysoptel=777&timeout=10&optn_log=1";
    const std::vector<Case> cases = {
        {"set-up, settings", false, 0, "init_base|t", setUp, 1, "", "ERR_WRITECFG", false, false},
        {"set-up, session", false, 0, "init_base|t", setUp, 2, "", "ERR_WRITESF", true, false},
        {"options in the session's second, settings", true, 0, "options|tok", options, 1, "",
         "ERR_WRITECFG", true, true},
        {"options a second later, session", true, 1, "options|tok", options, 1, "", "ERR_WRITESF",
         true, false},
        {"login, session", true, 0, "login|tok", "passwd=secret", 0, "quar_session.dat",
         "ERR_WRITESF", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove((site_ / "data/quar_settings.dat").c_str());
        std::remove((site_ / "data/quar_session.dat").c_str());
        std::remove((site_ / "data/quar_nbx_log.txt").c_str());
        if (c.initialised) {
            Initialise();
            LogIn(c.idle);
        }
        env_.FailNthWrite(c.failingWrite);
        env_.FailOpening(c.unopenable);
        Run(c.query, c.body);

        // The event's own line is the page's message: no catalogue text is installed.
        EXPECT_EQ(site_.Read("page"), kHeader + "ERROR[" + c.code +
                                          "\t1249049100\t07/31/2009 14:05\t10.1.1.1\t\tNBX_admin"
                                          "\t\t\t]");
        EXPECT_EQ(EventCodes(), std::vector<std::string>{c.code});
        EXPECT_EQ(site_.Exists("data/quar_settings.dat"), c.settingsStored);
        // A session that cannot be written is deleted; one that was written stays.
        EXPECT_EQ(site_.Exists("data/quar_session.dat"), c.sessionKept);
    }
}

// Each file operation of a request failing in turn (QUAR_TORTURE=all: every request below,
// else the login): the page is a whole page or a clear error page, the settings and session
// files are whole (old or new), and every line of the event log is whole.
TEST_F(StorageFailure, EveryFileOperationFailingInTurnLeavesWholeFiles) {
    const char* which = std::getenv("QUAR_TORTURE");
    const bool all = which != nullptr && std::string(which) == "all";
    struct Case {
        const char* name;
        bool initialised;
        const char* query;
        std::string body;
        const char* successPage;
        const char* newAdmin;  // the settings' administrator after a success
    };
    const std::vector<Case> cases = {
        {"login", true, "login|tok", "passwd=secret", "MAIN", "Jo"},
        {"set-up", false, "init_base|t",
         "compname=Acme&sysopname=Ann&sysoptel=555&sysopemail=&pswd1=secret&pswd2=secret", "MAIN",
         "Ann"},
        {"options", true, "options|tok",
         "snd=Submit&sysopname=Max&sysoptel=777&timeout=10&optn_log=1", "OPTIONS", "Max"},
    };
    const std::string marker = site_ / "fault-reached";
    for (const Case& c : cases) {
        if (!all && c.name != std::string("login")) {
            continue;
        }
        for (int n = 1;; ++n) {
            SCOPED_TRACE(std::string(c.name) + ", file operation " + std::to_string(n));
            ASSERT_LT(n, 200) << "a request of endless file operations";
            for (const char* file : {"quar_settings.dat", "quar_session.dat", "quar_nbx_log.txt"}) {
                std::remove((site_ / "data/" + file).c_str());
            }
            std::remove(marker.c_str());
            if (c.initialised) {
                Initialise();
                LogIn();
            }
            env_.FailNthOperation(n, marker);
            Run(c.query, c.body);
            env_.FailNthOperation(0, "");
            const bool reached = site_.Exists("fault-reached");

            const std::string page = site_.Read("page");
            ASSERT_EQ(0u, page.rfind(kHeader, 0)) << page;
            const std::string shown = page.substr(kHeader.size());
            const bool succeeded = shown == c.successPage;
            EXPECT_TRUE(succeeded ||
                        (shown.rfind("ERROR[", 0) == 0 && shown.size() > 7 && shown.back() == ']'))
                << shown;

            ServerSettings settings;
            if (site_.Exists("data/quar_settings.dat")) {
                ASSERT_TRUE(LoadServerSettings(settings, site_ / "data/", Env::Default()))
                    << "settings whole";
                EXPECT_TRUE(settings.adminName == "Jo" || settings.adminName == c.newAdmin);
            }
            if (succeeded) {
                EXPECT_EQ(c.newAdmin, settings.adminName) << "a success stored its settings";
            }
            if (site_.Exists("data/quar_session.dat")) {
                AdminSession session;
                bool malformed = false;
                EXPECT_TRUE(
                    LoadSessionBytes(site_.Read("data/quar_session.dat"), session, &malformed))
                    << "session whole";
            }
            const std::string log = site_.Exists("data/quar_nbx_log.txt")
                                        ? site_.Read("data/quar_nbx_log.txt")
                                        : std::string();
            EXPECT_TRUE(log.empty() || log.back() == '\n') << "no torn event line";
            std::istringstream lines(log);
            for (std::string line; std::getline(lines, line);) {
                EXPECT_GE(std::count(line.begin(), line.end(), '\t'), 8) << line;
            }
            if (!reached) {
                EXPECT_TRUE(succeeded) << "the request without failures succeeds";
                EXPECT_GT(n, 1) << "the request reaches its files";
                std::printf("%s: %d file operations failed in turn\n", c.name, n - 1);
                break;
            }
        }
    }
}

}  // namespace
