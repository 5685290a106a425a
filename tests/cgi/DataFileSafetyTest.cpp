// What quarnbxadmin does with the files of its data directory when they are not what it made:
// FIFOs, symbolic links, a log whose last line was cut off, a settings file others may read.
// Every case must end in an answer (no hang), leave files outside the data directory alone and
// keep the event somewhere whole.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "AdminPageFixture.h"

namespace {

class DataFileSafety : public AdminPageFixture {
  protected:
    DataFileSafety() {
        site_.dir().Write("cgi/quar_main.htx", "MAIN");
        site_.dir().Write("cgi/quar_options.htx", "OPTIONS[<%err_msg%>]");
        site_.dir().Write("cgi/quar_view_log.htx", "VIEW[<%vl_log_cont%>]");
        site_.dir().Write("cgi/quar_nbx_mess.def", "=CATEGORY Security\nLOGIN_REFUSED refused\n");
        site_.dir().Write("tmp/.keep", "");
        site_.dir().Write("victim", "keep");
    }

    void MakeFifo(const std::string& path) const { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }
    void LinkToVictim(const std::string& path) const {
        std::filesystem::create_symlink(site_.dir() / "victim", path);
    }
    static int Mode(const std::string& path) {
        struct stat st;
        return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
    }
};

}  // namespace

TEST_F(DataFileSafety, OddFilesNeitherHangNorLeadElsewhere) {
    using Fixture = std::remove_reference_t<decltype(*this)>;
    const struct {
        const char* name;
        std::function<void(Fixture&)> prepare;
        const char* request;  // with the fixture's session token and client
        const char* body;
        std::string page;  // the start of the answer
        std::function<void(Fixture&)> check;
    } kCases[] = {
        {"event log is a FIFO", [](Fixture& f) { f.MakeFifo(f.site_.data("quar_nbx_log.txt")); },
         "login", "passwd=x", "LOGIN[",
         [](Fixture& f) {
             EXPECT_NE(f.site_.Tmp("quar_nbx.log").find("LOGIN_REFUSED\t"), std::string::npos);
         }},
        {"event log links outside",
         [](Fixture& f) { f.LinkToVictim(f.site_.data("quar_nbx_log.txt")); }, "login", "passwd=x",
         "LOGIN[",
         [](Fixture& f) {
             EXPECT_EQ(f.site_.dir().Read("victim"), "keep");
             EXPECT_NE(f.site_.Tmp("quar_nbx.log").find("LOGIN_REFUSED\t"), std::string::npos);
         }},
        {"log ends in a cut-off line",
         [](Fixture& f) { f.site_.dir().Write("data/quar_nbx_log.txt", "MESSAGE\t1\t\tcut"); },
         "login", "passwd=x", "LOGIN[",
         [](Fixture& f) {
             const std::vector<std::string> lines = f.EventLines();
             // The session's end, then the refusal, each on a line of its own.
             ASSERT_EQ(lines.size(), 3u);
             EXPECT_EQ(lines[0], "MESSAGE\t1\t\tcut");
             EXPECT_EQ(Column(lines[1], 0), "AUTOLOGOUT");
             EXPECT_EQ(Column(lines[2], 0), "LOGIN_REFUSED");
         }},
        {"session file links outside",
         [](Fixture& f) {
             std::filesystem::remove(f.site_.data("quar_session.dat"));
             f.LinkToVictim(f.site_.data("quar_session.dat"));
         },
         "login", "passwd=secret", "ERROR[",
         [](Fixture& f) { EXPECT_EQ(f.site_.dir().Read("victim"), "keep"); }},
        {"session file is a FIFO",
         [](Fixture& f) {
             std::filesystem::remove(f.site_.data("quar_session.dat"));
             f.MakeFifo(f.site_.data("quar_session.dat"));
         },
         "main", "", "LOGIN[", [](Fixture&) {}},
        {"settings file readable by others",
         [](Fixture& f) { ::chmod(f.site_.data("quar_settings.dat").c_str(), 0644); }, "options",
         "snd=Submit&sysoptel=556&timeout=10", "OPTIONS[",
         [](Fixture& f) {
             EXPECT_EQ(f.Stored().adminPhone, "556");
             EXPECT_EQ(Mode(f.site_.data("quar_settings.dat")), 0600);
         }},
        {"log viewer over a link to another file",
         [](Fixture& f) {
             f.site_.dir().Write("victim", "LOGIN_REFUSED\t1\t\t10.1.1.1\t\t\t\t\t\r\n");
             f.LinkToVictim(f.site_.data("quar_nbx_log.txt"));
         },
         "viewlog", "", "VIEW[]", [](Fixture&) {}},
        {"log viewer over a FIFO", [](Fixture& f) { f.MakeFifo(f.site_.data("quar_nbx_log.txt")); },
         "viewlog", "", "VIEW[]", [](Fixture&) {}},
        {"registry file is a FIFO",
         [](Fixture& f) {
             f.site_.UnregisterDataDirectory();
             f.MakeFifo(f.site_.registryFile());
         },
         "main", "", "INIT[", [](Fixture&) {}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        for (const char* file :
             {"data/quar_nbx_log.txt", "data/quar_session.dat", "tmp/quar_nbx.log"}) {
            std::filesystem::remove(site_.dir() / file);
        }
        site_.dir().Write("victim", "keep");
        site_.UnregisterDataDirectory();
        site_.RegisterDataDirectory(site_.dir() / "data");
        Initialise();
        LogIn();
        c.prepare(*this);
        // A hang ends in the runner's time-out, which fails the answer's checks.
        const std::string page = Page(c.request, c.body);
        EXPECT_EQ(page.rfind(c.page, 0), 0u) << page;
        c.check(*this);
    }
}
