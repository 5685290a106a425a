#include "eventlog/LogFiles.h"

#include <stdlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <vector>

#include "UtcZone.h"
#include "eventlog/EventRecord.h"
#include "platform/Env.h"
#include "support/FaultyEnv.h"
#include "support/TempDir.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Sets TMP for one test (unset for nullopt) and restores it afterwards.
class ScopedTmp {
  public:
    explicit ScopedTmp(const std::optional<std::string>& value) {
        if (const char* old = ::getenv("TMP")) {
            old_ = old;
        }
        Set(value);
    }
    ~ScopedTmp() { Set(old_); }

  private:
    static void Set(const std::optional<std::string>& value) {
        if (value) {
            ::setenv("TMP", value->c_str(), 1);
        } else {
            ::unsetenv("TMP");
        }
    }
    std::optional<std::string> old_;
};

class LogFiles : public UtcZoneTest {
  protected:
    // A directory nobody can use: its parent is a regular file.
    std::string UnusableDirectory() {
        std::ofstream(data_ / "plain-file") << "x";
        return data_ / "plain-file/data";
    }

    TempDir data_;
    TempDir tmp_;
    EventRecord event_;
};

TEST_F(LogFiles, ChoicesForDataDirectoryAndTmp) {
    ScopedTmp tmp(tmp_.path());
    LogFileChoice events = ChooseEventLog("/srv/quar");
    EXPECT_EQ(events.primary, "/srv/quar/quar_nbx_log.txt");
    EXPECT_EQ(events.fallback, tmp_ / "quar_nbx.log");
    EXPECT_FALSE(events.primaryInTmp);

    LogFileChoice diagnostics = ChooseDiagnosticLog("/srv/quar/");
    EXPECT_EQ(diagnostics.primary, "/srv/quar/quar_nbx.log");
    EXPECT_EQ(diagnostics.fallback, tmp_ / "quar_nbx.log");

    events = ChooseEventLog("");
    EXPECT_EQ(events.primary, tmp_ / "quar_nbx_log.txt");
    EXPECT_TRUE(events.primaryInTmp);

    diagnostics = ChooseDiagnosticLog("");
    EXPECT_EQ(diagnostics.primary, tmp_ / "quar_nbx.log");
    EXPECT_EQ(diagnostics.fallback, "");  // the same file is not tried twice
    EXPECT_TRUE(diagnostics.primaryInTmp);
}

TEST_F(LogFiles, EventLinesAreAppendedToTheDataDirectory) {
    ScopedTmp tmp(tmp_.path());
    event_.user = "NBX_admin";
    LogAppendResult result = AppendEvent(event_, "LOGIN", data_.path(), Env::Default());
    EXPECT_TRUE(result.written);
    EXPECT_FALSE(result.primaryInTmp);
    EXPECT_EQ(result.path, data_ / "quar_nbx_log.txt");
    const std::string first = event_.FormatLine() + "\r\n";
    EXPECT_EQ(first.substr(0, 6), "LOGIN\t");

    event_.message = "Options updated.";
    ASSERT_TRUE(AppendEvent(event_, "MESSAGE", data_.path() + "/", Env::Default()).written);
    EXPECT_EQ(ReadFile(result.path), first + event_.FormatLine() + "\r\n");
    EXPECT_FALSE(std::filesystem::exists(tmp_ / "quar_nbx.log"));
}

TEST_F(LogFiles, EmptyDataDirectoryWritesBothLogsInTmp) {
    ScopedTmp tmp(tmp_.path());
    LogAppendResult result = AppendEvent(event_, "AUTOLOGOUT", "", Env::Default());
    EXPECT_TRUE(result.written);
    EXPECT_TRUE(result.primaryInTmp);
    EXPECT_EQ(ReadFile(tmp_ / "quar_nbx_log.txt"), event_.FormatLine() + "\r\n");

    result = AppendDiagnostic("Unknown request x (11)", "", Env::Default());
    EXPECT_TRUE(result.written);
    EXPECT_TRUE(result.primaryInTmp);
    EXPECT_EQ(result.path, tmp_ / "quar_nbx.log");
}

TEST_F(LogFiles, UnusableDataDirectoryFallsBackToTmp) {
    ScopedTmp tmp(tmp_.path());
    const std::string unusable = UnusableDirectory();
    ASSERT_TRUE(AppendEvent(event_, "LOGIN", unusable, Env::Default()).written);
    ASSERT_TRUE(AppendDiagnostic("first", unusable, Env::Default()).written);
    const std::string fallback = ReadFile(tmp_ / "quar_nbx.log");
    EXPECT_EQ(fallback.substr(0, fallback.find("\r\n") + 2), event_.FormatLine() + "\r\n");
    EXPECT_NE(fallback.find(": first\n"), std::string::npos);
}

TEST_F(LogFiles, FullFileSystemFallsBackToTmp) {
    ScopedTmp tmp(tmp_.path());
    std::filesystem::create_symlink("/dev/full", data_ / "quar_nbx_log.txt");
    LogAppendResult result = AppendEvent(event_, "LOGIN", data_.path(), Env::Default());
    EXPECT_TRUE(result.written);
    EXPECT_EQ(result.path, tmp_ / "quar_nbx.log");
}

TEST_F(LogFiles, NothingWritableReportsFailureAndStillStampsTheEvent) {
    const std::string unusable = UnusableDirectory();
    {
        ScopedTmp tmp(std::nullopt);
        event_.time = 0;
        LogAppendResult result = AppendEvent(event_, "ERR_WRITESF", unusable, Env::Default());
        EXPECT_FALSE(result.written);
        EXPECT_EQ(result.path, "");
        EXPECT_EQ(event_.code, "ERR_WRITESF");
        EXPECT_NE(event_.time, 0);

        result = AppendDiagnostic("lost", "", Env::Default());
        EXPECT_FALSE(result.written);
        EXPECT_TRUE(result.primaryInTmp);
    }
    {
        ScopedTmp tmp(unusable);
        EXPECT_FALSE(AppendEvent(event_, "LOGIN", unusable, Env::Default()).written);
        EXPECT_FALSE(AppendDiagnostic("lost", "", Env::Default()).written);
    }
}

TEST_F(LogFiles, LinkPlantedInTmpIsNotFollowed) {
    ScopedTmp tmp(tmp_.path());
    const std::string victim = data_ / "victim";
    std::ofstream(victim) << "keep";
    std::filesystem::create_symlink(victim, tmp_ / "quar_nbx.log");
    EXPECT_FALSE(AppendDiagnostic("planted", "", Env::Default()).written);
    EXPECT_EQ(ReadFile(victim), "keep");
}

// A log file that cannot be opened (held by another program, its permissions changed): the line
// goes to the next file, stamped with the time of the Env it went through.
TEST_F(LogFiles, LogThatCannotBeOpenedGivesWayToTheNextFile) {
    ScopedTmp tmp(tmp_.path());
    event_.user = "NBX_admin";
    const std::string eventLine = "LOGIN\t1249049100\t07/31/2009 14:05\t\t\tNBX_admin\t\t\t\r\n";
    const std::string diagnosticLine = "Fri Jul 31 14:05:00 UTC 2009: lost\n";
    struct Case {
        const char* unopenable;
        bool diagnostic;  // the diagnostic log, else the event log
        std::string dataDirectory;
        std::string writtenPath;  // empty: nothing written
    };
    const std::vector<Case> cases = {
        {"quar_nbx_log.txt", false, data_.path(), tmp_ / "quar_nbx.log"},
        {"quar_nbx.log", false, data_.path(), data_ / "quar_nbx_log.txt"},
        {"quar_nbx.log", true, data_.path(), ""},  // primary and fallback share the name
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.unopenable) + " in '" + c.dataDirectory + "'");
        FaultyEnv env;
        env.SetNow(1249049100);
        env.FailOpening(c.unopenable);
        const LogAppendResult result = c.diagnostic
                                           ? AppendDiagnostic("lost", c.dataDirectory, env)
                                           : AppendEvent(event_, "LOGIN", c.dataDirectory, env);
        EXPECT_EQ(result.written, !c.writtenPath.empty());
        EXPECT_EQ(result.path, c.writtenPath);
        if (c.writtenPath.empty()) {
            EXPECT_TRUE(env.Writes().empty());
        } else {
            ASSERT_EQ(env.Writes().size(), 1u);
            EXPECT_EQ(env.Writes()[0].path, c.writtenPath);
            EXPECT_EQ(env.Writes()[0].data, c.diagnostic ? diagnosticLine : eventLine);
        }
    }
}

TEST_F(LogFiles, DiagnosticLineIsOneLineStampedWithTheLongTime) {
    const std::string line =
        FormatDiagnosticLine("CKvArchiveException: bad\r\nLOGIN\tforged\n\n", 0);
    const std::regex shape(
        "[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} UTC [0-9]{4}: "
        "CKvArchiveException: bad  LOGIN\tforged\n");
    EXPECT_TRUE(std::regex_match(line, shape)) << line;
}

}  // namespace
