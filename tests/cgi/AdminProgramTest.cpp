// quarnbxadmin run as a web server runs it: the request table, the error page and its
// fallback, form decoding as pages see it, the diagnostics requests.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/CgiSite.h"

namespace {

const std::string kHtml = "Content-Type: text/html\r\nPragma: no-cache\r\n\r\n";
const std::string kBanner = "Pellmora version 3.0 (July 31 2009)";
const std::string kFallbackHead =
    "<H2 ALIGN=CENTER>Pellmora version 3.0 (July 31 2009)<BR> Configuration ERROR:</H2><HR>";
const std::string kPassingCheck = kBanner +
                                  "<BR><BR>Config file OK.<BR>QUAR NBX DB Directory Path: OK<BR>"
                                  "Write to DB Directory: OK.<BR><BR>";

// An error page that shows the message and everything the form gave the page.
const char* kErrorPage =
    "[<%err_msg%>]<%begindetail ParamVars%>(<%ParamKey%>=<%ParamData%>)<%enddetail%>";

class AdminProgram : public ::testing::Test {
  protected:
    AdminProgram() : site_(QUARNBXADMIN) {}
    void WithErrorPage() { site_.dir().Write("cgi/quar_error.htx", kErrorPage); }

    CgiSite site_;
};

}  // namespace

TEST_F(AdminProgram, UnknownRequestRendersTheErrorPage) {
    WithErrorPage();
    const CgiResult r = site_.Run("nosuch|42");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output, kHtml + "[Unknown request nosuch (11)]");
    // The message also reaches the diagnostic log of the data directory.
    const std::string log = site_.Data("quar_nbx.log");
    EXPECT_NE(log.find(": Unknown request nosuch (11)\n"), std::string::npos) << log;
}

TEST_F(AdminProgram, RequestNamesMatchExactly) {
    WithErrorPage();
    EXPECT_EQ(site_.Run("TEST").output, kHtml + "[Unknown request TEST (11)]");
    EXPECT_EQ(site_.Run("test ").output, kHtml + "[Unknown request test  (11)]");
    EXPECT_EQ(site_.Run("test%7c1").output, kHtml + "[Unknown request test%7c1 (11)]");
}

TEST_F(AdminProgram, MissingErrorPageGivesTheFallbackPage) {
    const CgiResult r = site_.Run("nosuch");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output, kHtml + kFallbackHead + "Unknown request nosuch (11)<BR><HR><BR>" +
                            "ERROR: Can't open html prototype file quar_error.htx.");
}

TEST_F(AdminProgram, FallbackPageEscapesTheMessage) {
    const CgiResult r = site_.Run("nos<b>uch&\"|t");
    EXPECT_EQ(r.output, kHtml + kFallbackHead + "Unknown request nos&lt;b&gt;uch&amp;&quot; (11)" +
                            "<BR><HR><BR>ERROR: Can't open html prototype file quar_error.htx.");
}

TEST_F(AdminProgram, FallbackPageDeletesTheSessionFile) {
    site_.dir().Write("data/quar_session.dat", "session");
    site_.Run("nosuch");
    EXPECT_FALSE(site_.dir().Exists("data/quar_session.dat"));
}

TEST_F(AdminProgram, FormFieldsReachThePageDecoded) {
    WithErrorPage();
    const CgiResult r = site_.Run("nosuch", "a=x+y%21&b=%3C%26%3E&a=2&flag&c=3");
    EXPECT_EQ(r.output, kHtml + "[Unknown request nosuch (11)](flag&c=3)(a=2)(b=<&>)(a=x y!)");
    site_.dir().Write("cgi/quar_error.htx", "<%a%>,<%b%>");
    EXPECT_EQ(site_.Run("nosuch", "a=1&b=2&a=3").output, kHtml + "3,2");
    // The body is a text: a raw NUL ends it.
    EXPECT_EQ(site_.Run("nosuch", std::string("a=1\0&b=2", 7)).output, kHtml + "1,");
}

TEST_F(AdminProgram, BodyLengthsAreBoundedAndHonest) {
    WithErrorPage();
    // Negative or non-numeric: no body at all.
    EXPECT_EQ(site_.Run("nosuch", "a=1", {{"CONTENT_LENGTH", "-3"}}).output,
              kHtml + "[Unknown request nosuch (11)]");
    EXPECT_EQ(site_.Run("nosuch", "a=1", {{"CONTENT_LENGTH", "x1"}}).output,
              kHtml + "[Unknown request nosuch (11)]");
    // Longer than what arrives: decoded as far as it was read.
    EXPECT_EQ(site_.Run("nosuch", "a=1", {{"CONTENT_LENGTH", "100"}}).output,
              kHtml + "[Unknown request nosuch (11)](a=1)");
    // Beyond the limit: refused before anything is allocated or read.
    const CgiResult huge = site_.Run("nosuch", "a=1", {{"CONTENT_LENGTH", "99999999999999999999"}});
    EXPECT_EQ(huge.exitStatus, 0);
    EXPECT_EQ(huge.output, kHtml +
                               "[Request body of 99999999999999999999 bytes exceeds the limit "
                               "of 8388608 bytes.]");
}

TEST_F(AdminProgram, LargeFormsArriveWhole) {
    site_.dir().Write("cgi/quar_error.htx", "<%big%>");
    const std::string value(3 << 20, 'v');
    const CgiResult r = site_.Run("nosuch", "big=" + value);
    EXPECT_EQ(r.output, kHtml + value);
}

TEST_F(AdminProgram, StopsAtTheFirstWriteAfterTheReaderHasGone) {
    // The web server stops reading after 100 bytes of a 4 MiB page: the program must not go
    // on writing the rest to nobody and end as if all went well.
    if (std::getenv("QUAR_TEST_FASTCGI") != nullptr) {
        GTEST_SKIP() << "a FastCGI application outlives its requests; SIGPIPE is a CGI process's";
    }
    site_.dir().Write("cgi/quar_error.htx", "<%big%>");
    CgiRequest request;
    request.env = {{"QUERY_STRING", "nosuch"}, {"CONTENT_LENGTH", std::to_string(4 + (4 << 20))}};
    request.stdinData = "big=" + std::string(4 << 20, 'v');
    request.outputLimit = 100;
    request.timeoutSeconds = 60;
    const CgiResult r = site_.Run(request);
    EXPECT_EQ(r.signal, SIGPIPE);
    EXPECT_EQ(r.exitStatus, -1);
}

TEST_F(AdminProgram, AReplyUpTo64KiBReachesTheServerInOneWrite) {
    // Each write to a CGI pipe wakes the web server to read it.
    if (std::getenv("QUAR_TEST_FASTCGI") != nullptr) {
        GTEST_SKIP() << "the FastCGI bridge passes the reply on in writes of its own";
    }
    site_.dir().Write("cgi/quar_error.htx", "<%big%>");
    struct Case {
        const char* query;
        std::size_t size;  // of the form field that the page shows
    };
    for (const Case& c : {Case{"test", 0}, Case{"nosuch", 65000}}) {
        const std::string body = c.size > 0 ? "big=" + std::string(c.size, 'v') : "";
        CgiRequest request;
        request.env = {{"QUERY_STRING", c.query}, {"CONTENT_LENGTH", std::to_string(body.size())}};
        request.stdinData = body;
        request.countWrites = true;
        const CgiResult r = site_.Run(request);
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.writes, 1) << c.query << ", " << c.size;
        EXPECT_EQ(r.output, kHtml + (c.size > 0 ? std::string(c.size, 'v') : kBanner));
    }
}

TEST_F(AdminProgram, BannerRequestsNeedNoSessionOrPage) {
    for (const char* query : {"test", "test2", "test3", "test5", "test|anything", "test%7Cx"}) {
        const CgiResult r = site_.Run(query);
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.output, kHtml + kBanner) << query;
    }
}

TEST_F(AdminProgram, ConfigurationCheckPassesAndLeavesNoProbe) {
    site_.dir().Write("data/__tst_write", "left over from an earlier run");
    const CgiResult r = site_.Run("test0");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output, kHtml + kPassingCheck);
    EXPECT_FALSE(site_.dir().Exists("data/__tst_write"));
}

TEST_F(AdminProgram, ConcurrentConfigurationChecksAllPass) {
    // All checks probe with the same file name, so they remove each other's probes.
    constexpr int kWorkers = 8;
    constexpr int kRequestsEach = 40;
    std::vector<std::string> failures(kWorkers);
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&, w] {
            for (int i = 0; i < kRequestsEach && failures[w].empty(); ++i) {
                const std::string output = site_.Run("test0").output;
                if (output != kHtml + kPassingCheck) {
                    failures[w] = output;
                }
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    for (const std::string& failure : failures) {
        EXPECT_EQ(failure, "");
    }
    EXPECT_FALSE(site_.dir().Exists("data/__tst_write"));
}

TEST_F(AdminProgram, RegistryWithoutEndIsNotReadForever) {
    CgiRequest request;
    request.env = {{"QUERY_STRING", "test0"}, {"QUAR_MACHINE_REGISTRY", "/dev/zero"}};
    request.timeoutSeconds = 20;
    const CgiResult r = site_.Run(request);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.output, kHtml + kBanner + "<BR><BR>Config file not found.");
}

TEST_F(AdminProgram, ConfigurationCheckWithoutRegistryValue) {
    site_.UnregisterDataDirectory();
    EXPECT_EQ(site_.Run("test0").output, kHtml + kBanner + "<BR><BR>Config file not found.");
}

TEST_F(AdminProgram, ConfigurationCheckWithAnEmptyDirectoryValue) {
    site_.RegisterDataDirectory("");
    EXPECT_EQ(site_.Run("test0").output, kHtml + kBanner +
                                             "<BR><BR>Config file OK.<BR>"
                                             "QUAR NBX DB Directory not defined in config file.");
}

TEST_F(AdminProgram, ConfigurationCheckOnAMissingDirectory) {
    site_.RegisterDataDirectory(site_.dir() / "nowhere");
    EXPECT_EQ(site_.Run("test0").output,
              kHtml + kBanner + "<BR><BR>Config file OK.<BR>QUAR NBX DB Directory Path: OK<BR>" +
                  "Can't create file in DB directory. Please check if directory \"" +
                  (site_.dir() / "nowhere") + "/\" exist and read/write access is permitted.");
}

TEST_F(AdminProgram, ConfigurationCheckOnAReadOnlyDirectory) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to run the program as another user";
    }
    // The program runs as nobody: it can read its folders but not write the data directory.
    ::chmod(site_.dir().path().c_str(), 0755);
    for (const char* sub : {"cgi", "data", "tmp"}) {
        ::chmod((site_.dir() / sub).c_str(), 0755);
    }
    ::chmod(site_.registryFile().c_str(), 0644);
    CgiRequest request;
    request.env["QUERY_STRING"] = "test0";
    request.runAsUid = 65534;
    const CgiResult r = site_.Run(request);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output,
              kHtml + kBanner + "<BR><BR>Config file OK.<BR>QUAR NBX DB Directory Path: OK<BR>" +
                  "Can't create file in DB directory. Please check if directory \"" +
                  (site_.dir() / "data") + "/\" exist and read/write access is permitted.");
}

TEST_F(AdminProgram, WithoutDataDirectoryTheLogsGoToTmp) {
    WithErrorPage();
    site_.UnregisterDataDirectory();
    const CgiResult r = site_.Run("nosuch");
    EXPECT_EQ(r.output, kHtml + "[Unknown request nosuch (11)]");
    EXPECT_NE(site_.Tmp("quar_nbx.log").find(": Unknown request nosuch (11)\n"), std::string::npos);
}

TEST_F(AdminProgram, AnswersEvenWhenNoLogCanBeWritten) {
    WithErrorPage();
    site_.UnregisterDataDirectory();
    const CgiResult r = site_.Run("nosuch", "", {{"TMP", site_.dir() / "no/such/dir"}});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output, kHtml + "[Unknown request nosuch (11)]");
}

TEST_F(AdminProgram, TestInputModeReadsTstinAndWritesNoHeader) {
    site_.dir().Write("cgi/quar_init.htx", "init:<%isonwin%>:<%a%>");
    site_.dir().Write("cgi/tstin", "a=from+file");
    const CgiResult r = site_.Run("nosuch", "", {{"QUAR_TEST_INPUT", "1"}});
    EXPECT_EQ(r.exitStatus, 0);
    // No header, no request name from the environment: the first page.
    EXPECT_EQ(r.output, "init:1:from file");
}

TEST_F(AdminProgram, TestInputModeWithoutTstinRaisesTheCode) {
    site_.dir().Write("cgi/quar_error.htx", "<%err_msg%>");
    const CgiResult r = site_.Run(nullptr, "", {{"QUAR_TEST_INPUT", "1"}});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output.rfind("ERR_NOSTDIN\t", 0), 0u) << r.output;
    EXPECT_NE(site_.Data("quar_nbx_log.txt").find("ERR_NOSTDIN\t"), std::string::npos);
}

TEST_F(AdminProgram, PagesRenderTablesEscapingAndConditionsOfTheForm) {
    site_.dir().Write("cgi/quar_error.htx",
                      "<%ParamVars%>|<%#esc_html_tag a%>|<%#set #str_esc_mode 1%><%q%>|"
                      "<%if a CONTAINS \"<\"%>yes<%else%>no<%endif%>|"
                      "<%if b GT 10%>gt<%else%>le<%endif%>");
    const CgiResult r = site_.Run("nosuch", "a=%3Cb%3E&b=9&q=%22%27");
    // Columns in the order of the variable map's buckets: ParamData (6) before ParamKey (12);
    // rows newest first; table cells are never escaped.
    const std::string table =
        "<table border=\"1\" cellpadding=\"3\" cellspacing=\"0\">\n<tr>\n"
        " <th bgcolor=\"#B0E0E6\">ParamData</th>\n <th bgcolor=\"#B0E0E6\">ParamKey</th>\n"
        " </tr>\n"
        " <tr>\n <th bgcolor=\"#FAEBD7\">\"'</th>\n <th bgcolor=\"#FAEBD7\">q</th>\n </tr>\n"
        " <tr>\n <th bgcolor=\"#FAEBD7\">9</th>\n <th bgcolor=\"#FAEBD7\">b</th>\n </tr>\n"
        " <tr>\n <th bgcolor=\"#FAEBD7\"><b></th>\n <th bgcolor=\"#FAEBD7\">a</th>\n </tr>\n"
        " </table>\n";
    EXPECT_EQ(r.output, kHtml + table + "|&lt;b&gt;|&quot;&#39;|yes|le");
}

TEST_F(AdminProgram, SurvivesAHugeEnvironment) {
    site_.dir().Write("cgi/quar_error.htx", "<%err_msg%>");
    std::map<std::string, std::string> env;
    for (int i = 0; i < 3000; ++i) {
        env["HTTP_X_" + std::to_string(i)] = std::string(200, 'e');
    }
    const CgiResult r = site_.Run("nosuch", "", env);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output, kHtml + "Unknown request nosuch (11)");
}

// Each request's own environment, also when one process answers them one after another.
TEST_F(AdminProgram, EnvironmentReachesTemplates) {
    site_.dir().Write("cgi/quar_error.htx",
                      "<%HTTP_X_CUSTOM%>|<%begindetail EnvVars%><%if "
                      "EnvKey EQ \"HTTP_X_CUSTOM\"%><%EnvData%><%endif%>"
                      "<%enddetail%>");
    const struct {
        const char* value;  // null: not sent
        const char* page;
    } requests[] = {{"seen", "seen|seen"}, {nullptr, "|"}, {"again", "again|again"}};
    for (const auto& request : requests) {
        std::map<std::string, std::string> env;
        if (request.value != nullptr) {
            env["HTTP_X_CUSTOM"] = request.value;
        }
        EXPECT_EQ(site_.Run("nosuch", "", env).output, kHtml + request.page);
    }
}
