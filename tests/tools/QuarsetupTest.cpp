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
#include "platform/Registry.h"
#include "support/TempDir.h"

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
                                    (dir_ / "machine.reg") + "' --bin-dir '" + (dir_ / "bin") +
                                    "' --site-dir '" + QUAR_SITE_DIR + "' >/dev/null 2>&1";
        return std::system(command.c_str());
    }

    std::optional<std::string> Registered() {
        auto registry = OpenFileRegistry(dir_ / "machine.reg", "/dev/null");
        return ReadDataDirectory(*registry);
    }

    TempDir dir_;
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
