// The installer: a fresh installation, an update in place that keeps the data, and the
// refusals that protect an installation.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include "admin/PasswordHash.h"
#include "platform/DataDirectory.h"
#include "platform/Env.h"
#include "platform/Registry.h"
#include "settings/ServerSettings.h"
#include "settings/SettingsStore.h"
#include "support/CgiSite.h"

namespace fs = std::filesystem;

namespace {

class Quarsetup : public ::testing::Test {
  protected:
    Quarsetup() {
        // The installer takes the programs from one folder.
        for (const char* dir : {QUARNBXADMIN_DIR "/quarnbxadmin", QUARNBX_DIR "/quarnbx",
                                QUARNBXPIC_DIR "/quarnbxpic"}) {
            dir_.Write("bin/.keep", "");
            fs::copy_file(dir, dir_ / ("bin/" + fs::path(dir).filename().string()));
        }
    }

    int Install(const std::string& dataDir) {
        const std::string command = std::string(QUARSETUP) + " --data-dir '" + dataDir +
                                    "' --cgi-dir '" + (dir_ / "cgi") + "' --registry '" +
                                    site_.registryFile() + "' --bin-dir '" + (dir_ / "bin") +
                                    "' --site-dir '" + QUAR_SITE_DIR + "' >/dev/null 2>&1";
        return std::system(command.c_str());
    }

    int ClearPassword(const std::string& options = "") {
        const std::string command = std::string(QUARSETUP) + " --clear-password --registry '" +
                                    site_.registryFile() + "' " + options + " >/dev/null 2>&1";
        return std::system(command.c_str());
    }

    // The page body of the installed administration program for a request from 10.1.1.1.
    std::string AdminPage(const char* query, const std::string& body = "") {
        CgiRequest request;
        request.program = site_.cgi("quarnbxadmin");
        request.env = {{"REMOTE_ADDR", "10.1.1.1"}, {"TMP", dir_ / "data"}};
        if (query) {
            request.env["QUERY_STRING"] = query;
        }
        if (!body.empty()) {
            request.env["CONTENT_LENGTH"] = std::to_string(body.size());
            request.stdinData = body;
        }
        return SplitAnswer(site_.Run(std::move(request)).output).body;
    }

    std::optional<std::string> Registered() {
        auto registry = OpenFileRegistry(site_.registryFile(), "/dev/null");
        return ReadDataDirectory(*registry);
    }

    // The installer writes into the site's cgi/ and its registry file.
    CgiSite site_;
    const TempDir& dir_ = site_.dir();
};

}  // namespace

TEST_F(Quarsetup, InstallsProgramsSiteAndRegistersTheDataDirectory) {
    ASSERT_EQ(Install(dir_ / "data"), 0);
    for (const char* file : {"quarnbxadmin", "quarnbx", "quarnbxpic", "quar_nbx_mess.def",
                             "quar_error.htx", "logo.gif"}) {
        EXPECT_TRUE(dir_.Exists(std::string("cgi/") + file)) << file;
    }
    EXPECT_EQ(::access((dir_ / "cgi/quarnbxadmin").c_str(), X_OK), 0);
    EXPECT_EQ(Registered(), dir_ / "data/");
    struct stat st;
    ASSERT_EQ(::stat((dir_ / "data").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // The registry file holds the path only in scrambled form.
    EXPECT_EQ(dir_.Read("machine.reg").find("/data"), std::string::npos);
}

TEST_F(Quarsetup, RunningAgainUpdatesInPlaceAndKeepsTheData) {
    ASSERT_EQ(Install(dir_ / "data"), 0);
    dir_.Write("data/quar_settings.dat", "settings");
    dir_.Write("data/quar_nbx_log.txt", "log");
    dir_.Write("cgi/quar_error.htx", "stale page");
    ASSERT_EQ(Install(dir_ / "data"), 0);
    EXPECT_EQ(dir_.Read("data/quar_settings.dat"), "settings");
    EXPECT_EQ(dir_.Read("data/quar_nbx_log.txt"), "log");
    EXPECT_NE(dir_.Read("cgi/quar_error.htx"), "stale page");
}

TEST_F(Quarsetup, RefusesPathsThatCannotBeStoredWhole) {
    EXPECT_NE(Install(dir_ / std::string(130, 'd')), 0);
    EXPECT_FALSE(Registered().has_value());
    dir_.Write("file", "");
    EXPECT_NE(Install(dir_ / "file"), 0);
}

// What quarsetup cannot do is found before it changes anything, and the message says what to
// pass instead. As root a folder cannot be refused by its mode: such rows run as "nobody".
TEST_F(Quarsetup, ChecksWhatItNeedsBeforeChangingAnything) {
    dir_.Write("file", "");
    dir_.Write("locked/.keep", "");
    ::chmod((dir_ / "locked").c_str(), 0755);
    ::chmod(dir_.path().c_str(), 0755);
    const struct {
        std::string options;
        bool asNobody;
        const char* says;
    } cases[] = {
        {"--registry '" + (dir_ / "file/machine.reg") + "'", false, "pass --registry FILE"},
        {"--registry '" + (dir_ / "locked/machine.reg") + "'", true, "pass --registry FILE"},
        {"--data-dir '" + (dir_ / "file/data") + "'", false, "pass --data-dir"},
        {"--cgi-dir '" + (dir_ / "locked/cgi") + "'", true, "pass --cgi-dir"},
        {"--owner no-such-account-here", false, "no such account"},
    };
    for (const auto& c : cases) {
        if (c.asNobody && ::geteuid() != 0) {
            continue;  // only root can run it as another account
        }
        const std::string command =
            std::string(c.asNobody ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "") +
            QUARSETUP + " --data-dir '" + (dir_ / "locked/data") + "' --cgi-dir '" +
            (dir_ / "cgi") + "' --registry '" + (dir_ / "machine.reg") + "' --bin-dir '" +
            (dir_ / "bin") + "' --site-dir '" + QUAR_SITE_DIR + "' " + c.options + " 2>&1";
        std::string said;
        FILE* out = ::popen(command.c_str(), "r");
        ASSERT_NE(out, nullptr);
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, out)) {
            said += buffer;
        }
        EXPECT_NE(::pclose(out), 0) << c.options;
        EXPECT_NE(said.find("nothing was changed"), std::string::npos) << c.options << ": " << said;
        EXPECT_NE(said.find(c.says), std::string::npos) << c.options << ": " << said;
        for (const char* made : {"locked/data", "cgi", "machine.reg", "locked/cgi"}) {
            EXPECT_FALSE(dir_.Exists(made)) << c.options << " made " << made;
        }
    }
}

// Both tools answer --help (the usage) and --version on standard output with status 0.
TEST_F(Quarsetup, ToolsAnswerHelpAndVersionOnStandardOutput) {
    const struct {
        const char* program;
        const char* option;
        const char* starts;
    } cases[] = {{QUARSETUP, "--help", "usage: quarsetup"},
                 {QUARSETUP, "--version", "quarsetup 3."},
                 {QUARGET, "--help", "usage: quarget"},
                 {QUARGET, "--version", "quarget 3."}};
    for (const auto& c : cases) {
        const std::string command = std::string(c.program) + " " + c.option + " 2>/dev/null";
        std::string said;
        FILE* out = ::popen(command.c_str(), "r");
        ASSERT_NE(out, nullptr);
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, out)) {
            said += buffer;
        }
        EXPECT_EQ(::pclose(out), 0) << c.program << " " << c.option;
        EXPECT_EQ(said.rfind(c.starts, 0), 0u) << c.program << " " << c.option << ": " << said;
    }
}

TEST_F(Quarsetup, ClearPasswordAsksForANewOneAndKeepsTheRest) {
    ASSERT_EQ(Install(dir_ / "data"), 0);
    ServerSettings settings;
    settings.Reset();
    settings.companyName = "Acme & Co";
    settings.adminName = "Jo";
    settings.adminEmail = "jo@acme";
    settings.adminPassword = "forgotten";
    settings.inactivityTimeout = 1200;
    settings.eventLogging = 0;
    settings.logPageSize = 80;
    settings.logUserFilter = "NBX";
    ASSERT_TRUE(SaveServerSettings(settings, dir_ / "data/", Env::Default()));
    dir_.Write("data/quar_nbx_log.txt", "LOGIN\t1\t\t10.1.1.1\t\tNBX_admin\t\t\t\r\n");

    ASSERT_EQ(ClearPassword(), 0);
    ServerSettings cleared;
    ASSERT_TRUE(LoadServerSettings(cleared, dir_ / "data/", Env::Default()));
    EXPECT_EQ(cleared.adminPassword, "");
    settings.adminPassword.clear();
    EXPECT_EQ(cleared.companyName, settings.companyName);
    EXPECT_EQ(cleared.adminEmail, settings.adminEmail);
    EXPECT_EQ(cleared.inactivityTimeout, settings.inactivityTimeout);
    EXPECT_EQ(cleared.eventLogging, settings.eventLogging);
    EXPECT_EQ(cleared.logPageSize, settings.logPageSize);
    EXPECT_EQ(cleared.logUserFilter, settings.logUserFilter);
    EXPECT_EQ(dir_.Read("data/quar_nbx_log.txt"), "LOGIN\t1\t\t10.1.1.1\t\tNBX_admin\t\t\t\r\n");

    // The next visit is the set-up form, which shows none of the stored contact data to
    // whoever comes first; no password opens a session.
    const std::string first = AdminPage(nullptr);
    EXPECT_NE(first.find("name=\"pswd1\""), std::string::npos) << first;
    for (const char* stored : {"Acme", "jo@acme", "value=\"Jo\""}) {
        EXPECT_EQ(first.find(stored), std::string::npos) << stored;
    }
    EXPECT_NE(first.find("The administrator password has been cleared."), std::string::npos);
    for (const char* password : {"", "forgotten"}) {
        const std::string page = AdminPage("login", std::string("passwd=") + password);
        EXPECT_NE(page.find("name=\"pswd1\""), std::string::npos) << password;
        EXPECT_EQ(page.find("quarnbxadmin?logout|"), std::string::npos) << password;
    }
    // The form sent back with a new password and empty fields ends the set-up, keeping the
    // stored values and the other settings.
    const std::string main =
        AdminPage("init_base",
                  "compname=&sysopname=Jo+Smith&sysoptel=&sysopemail=&pswd1=renewed&pswd2=renewed");
    EXPECT_NE(main.find("quarnbxadmin?logout|"), std::string::npos) << main;
    ServerSettings renewed;
    ASSERT_TRUE(LoadServerSettings(renewed, dir_ / "data/", Env::Default()));
    EXPECT_TRUE(PasswordMatches("renewed", renewed.adminPassword)) << renewed.adminPassword;
    EXPECT_EQ(renewed.companyName, "Acme & Co");
    EXPECT_EQ(renewed.adminName, "Jo Smith");
    EXPECT_EQ(renewed.adminEmail, "jo@acme");
    EXPECT_EQ(renewed.inactivityTimeout, 1200u);
    EXPECT_EQ(renewed.logPageSize, 80);
    EXPECT_EQ(renewed.logUserFilter, "NBX");
}

TEST_F(Quarsetup, ClearPasswordNeedsAnInstallationThatWasSetUp) {
    // No registry yet, then a registered directory without settings, then a damaged record.
    EXPECT_NE(ClearPassword(), 0);
    ASSERT_EQ(Install(dir_ / "data"), 0);
    EXPECT_NE(ClearPassword(), 0);
    dir_.Write("data/quar_settings.dat", "not a settings record");
    EXPECT_NE(ClearPassword(), 0);
    EXPECT_EQ(dir_.Read("data/quar_settings.dat"), "not a settings record");
    // An explicit data directory wins over the registered one.
    ServerSettings settings;
    settings.Reset();
    settings.adminPassword = "other";
    dir_.Write("elsewhere/.keep", "");
    ASSERT_TRUE(SaveServerSettings(settings, dir_ / "elsewhere/", Env::Default()));
    EXPECT_EQ(ClearPassword("--data-dir '" + (dir_ / "elsewhere") + "'"), 0);
    ASSERT_TRUE(LoadServerSettings(settings, dir_ / "elsewhere/", Env::Default()));
    EXPECT_EQ(settings.adminPassword, "");
}

TEST_F(Quarsetup, RefusesADataDirectoryThatTheWebServerServes) {
    // The web server hands out what lies in the CGI folder: settings and session must not.
    fs::create_directories(dir_ / "cgi");
    fs::create_directory_symlink(dir_ / "cgi", dir_ / "cgi-link");
    const struct {
        const char* dataDirectory;  // under the test's folder; the CGI folder is "cgi"
        bool accepted;
    } kCases[] = {
        {"cgi", false},           {"cgi/", false},
        {"cgi/data", false},      {"cgi/./a/../data", false},
        {"x/../cgi/data", false}, {"cgi-link/data", false},
        {"cgi-data", true},       {"data", true},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(Install(dir_ / c.dataDirectory) == 0, c.accepted) << c.dataDirectory;
        if (!c.accepted) {
            EXPECT_FALSE(Registered()) << c.dataDirectory;
        }
    }
}

TEST_F(Quarsetup, PrintedConfigurationsRunAsTheUserAndAddTheServedHeaders) {
    const struct {
        const char* server;
        const char* user;  // --user, or null
        std::vector<const char*> lines;
        std::vector<const char*> absent;
    } kCases[] = {
        {"lighttpd",
         "www-data",
         {"server.username = \"www-data\"", "server.groupname = \"www-data\"",
          "setenv.set-response-header = ( \"Cache-Control\" => \"no-store\", \"X-Frame-Options\" "
          "=> \"DENY\", \"Content-Security-Policy\" => \"frame-ancestors 'none'\", "
          "\"Referrer-Policy\" => \"same-origin\", \"X-Content-Type-Options\" => \"nosniff\" )"},
         {}},
        {"lighttpd", nullptr, {}, {"server.username"}},
        {"apache",
         "www-data",
         {"User www-data", "LoadModule headers_module /usr/lib/apache2/modules/mod_headers.so",
          "Header always set Cache-Control \"no-store\"",
          "Header always set X-Frame-Options \"DENY\"",
          "Header always set Content-Security-Policy \"frame-ancestors 'none'\"",
          "Header always set Referrer-Policy \"same-origin\"",
          "Header always set X-Content-Type-Options \"nosniff\""},
         {}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.server);
        const std::string out = dir_ / "conf";
        std::string command = std::string(QUARSETUP) + " --print-config " + c.server +
                              " --cgi-dir '" + (dir_ / "cgi") + "'";
        if (c.user != nullptr) {
            command += std::string(" --user ") + c.user;
        }
        ASSERT_EQ(std::system((command + " >'" + out + "'").c_str()), 0);
        const std::string conf = "\n" + dir_.Read("conf");
        for (const char* line : c.lines) {
            // Whole lines, indented or not.
            EXPECT_TRUE(conf.find(std::string(line) + "\n") != std::string::npos) << line << conf;
        }
        for (const char* text : c.absent) {
            EXPECT_EQ(conf.find(text), std::string::npos) << text;
        }
    }
}
