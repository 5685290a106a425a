// The installer: a fresh installation, an update in place that keeps the data, and the
// refusals that protect an installation.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <unistd.h>

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

    // The next visit is the set-up form with the stored values; no password opens a session.
    const std::string first = AdminPage(nullptr);
    EXPECT_NE(first.find("name=\"pswd1\""), std::string::npos) << first;
    EXPECT_NE(first.find("value=\"Acme &amp; Co\""), std::string::npos);
    EXPECT_NE(first.find("The administrator password has been cleared."), std::string::npos);
    for (const char* password : {"", "forgotten"}) {
        const std::string page = AdminPage("login", std::string("passwd=") + password);
        EXPECT_NE(page.find("name=\"pswd1\""), std::string::npos) << password;
        EXPECT_EQ(page.find("quarnbxadmin?logout|"), std::string::npos) << password;
    }
    // The form sent back with a new password ends the set-up, keeping the other settings.
    const std::string main =
        AdminPage("init_base",
                  "compname=Acme+%26+Co&sysopname=Jo&sysoptel=&sysopemail=jo%40acme"
                  "&pswd1=renewed&pswd2=renewed");
    EXPECT_NE(main.find("quarnbxadmin?logout|"), std::string::npos) << main;
    ServerSettings renewed;
    ASSERT_TRUE(LoadServerSettings(renewed, dir_ / "data/", Env::Default()));
    EXPECT_EQ(renewed.adminPassword, "renewed");
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
