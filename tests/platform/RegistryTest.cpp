#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/DataDirectory.h"
#include "platform/FileUtil.h"
#include "platform/Registry.h"
#include "platform/Scramble.h"
#include "support/FailingRegistry.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

class RegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        machine_ = (dir_ / "etc" / "machine.reg").string();
        user_ = (dir_ / "user" / "user.reg").string();
        registry_ = OpenFileRegistry(machine_, user_);
        ::unsetenv("http_proxy");
    }

    TempDir scratch_;
    const fs::path dir_ = scratch_.path();
    std::string machine_, user_;
    std::unique_ptr<Registry> registry_;
};

TEST_F(RegistryTest, MissingFileKeyAndValueReadAsNotFound) {
    std::string text;
    uint32_t n = 0;
    EXPECT_EQ(registry_->QueryText(Hive::LocalMachine, "Software\\X", "", &text),
              ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(registry_->SetText(Hive::LocalMachine, "Software\\X", "A", "1"), ERROR_SUCCESS);
    EXPECT_EQ(registry_->QueryText(Hive::LocalMachine, "Software\\X", "B", &text),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(registry_->QueryDword(Hive::LocalMachine, "Software\\X", "A", &n),
              ERROR_INVALID_DATA);
    EXPECT_TRUE(registry_->KeyExists(Hive::LocalMachine, "software\\x"));
    EXPECT_FALSE(registry_->KeyExists(Hive::CurrentUser, "Software\\X"));
}

TEST_F(RegistryTest, ValuesSurviveTheFileFormatWithAwkwardBytes) {
    const std::string awkward = std::string("q\"uo\\te\nline\r\x01") + "\xff end";
    ASSERT_EQ(registry_->SetText(Hive::ClassesRoot, "K", "", awkward), ERROR_SUCCESS);
    ASSERT_EQ(registry_->SetText(Hive::ClassesRoot, "K", "Na\"me", "plain"), ERROR_SUCCESS);
    ASSERT_EQ(registry_->SetDword(Hive::ClassesRoot, "K", "Count", 0xFFFFFFFFu), ERROR_SUCCESS);

    auto reopened = OpenFileRegistry(machine_, user_);
    std::string text;
    uint32_t n = 0;
    ASSERT_EQ(reopened->QueryText(Hive::ClassesRoot, "k", "", &text), ERROR_SUCCESS);
    EXPECT_EQ(text, awkward);
    ASSERT_EQ(reopened->QueryText(Hive::ClassesRoot, "K", "NA\"ME", &text), ERROR_SUCCESS);
    EXPECT_EQ(text, "plain");
    ASSERT_EQ(reopened->QueryDword(Hive::ClassesRoot, "K", "count", &n), ERROR_SUCCESS);
    EXPECT_EQ(n, 0xFFFFFFFFu);

    const std::string file = ReadWholeFile(machine_).value();
    EXPECT_EQ(file.rfind("REGEDIT4\n", 0), 0u);
    EXPECT_NE(file.find("[HKEY_CLASSES_ROOT\\K]\n"), std::string::npos);
    EXPECT_NE(file.find("\"Count\"=dword:ffffffff\n"), std::string::npos);
}

TEST_F(RegistryTest, ReadsFilesWrittenByHand) {
    ASSERT_TRUE(MakeParentDirectories(machine_));
    ASSERT_TRUE(ReplaceFileAtomically(machine_,
                                      "REGEDIT4\r\n\r\n; comment\r\n[HKEY_LOCAL_MACHINE\\S]\r\n"
                                      "@=\"def\"\r\n\"N\"=dword:0000001f\r\ngarbage line\r\n"));
    std::string text;
    uint32_t n = 0;
    EXPECT_EQ(registry_->QueryText(Hive::LocalMachine, "S", "", &text), ERROR_SUCCESS);
    EXPECT_EQ(text, "def");
    EXPECT_EQ(registry_->QueryDword(Hive::LocalMachine, "S", "N", &n), ERROR_SUCCESS);
    EXPECT_EQ(n, 31u);
}

// A write keeps what it does not read of other keys (comments, values of other types) and
// refuses key paths and value names that would put lines of their own into the file.
TEST_F(RegistryTest, WritesKeepOtherLinesAndRefuseNamesThatInjectLines) {
    ASSERT_TRUE(MakeParentDirectories(machine_));
    const std::string handWritten =
        "REGEDIT4\n; the file's own comment\n\n[HKEY_LOCAL_MACHINE\\Other]\n; about Other\n"
        "\"Blob\"=hex:01,02,ff\n\"Multi\"=hex(7):41,00,00,00\n\"Kept\"=\"yes\"\n";
    ASSERT_TRUE(ReplaceFileAtomically(machine_, handWritten));
    struct Case {
        const char* key;
        const char* name;
        long result;
    };
    const Case cases[] = {
        {"Mine", "Value", ERROR_SUCCESS},
        {"Other", "Blob", ERROR_SUCCESS},  // a value set anew replaces the line kept
        {"Mine\n[HKEY_LOCAL_MACHINE\\Forged]", "Value", ERROR_INVALID_NAME},
        {"Mine\r", "Value", ERROR_INVALID_NAME},
        {"Mi[ne", "Value", ERROR_INVALID_NAME},
        {"Mi]ne", "Value", ERROR_INVALID_NAME},
        {"Mine", "Va\nlue", ERROR_INVALID_NAME},
        {"Mine", "Va\rlue", ERROR_INVALID_NAME},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key + std::string("/") + c.name);
        EXPECT_EQ(c.result, registry_->SetText(Hive::LocalMachine, c.key, c.name, "set"));
        EXPECT_EQ(c.result, registry_->SetDword(Hive::LocalMachine, c.key, c.name, 1));
    }
    EXPECT_EQ(ERROR_INVALID_NAME, registry_->CreateKey(Hive::LocalMachine, "A\nB"));
    const std::string file = ReadWholeFile(machine_).value();
    for (const char* line :
         {"; the file's own comment\n", "; about Other\n", "\"Multi\"=hex(7):41,00,00,00\n",
          "\"Kept\"=\"yes\"\n", "\"Blob\"=dword:00000001\n", "[HKEY_LOCAL_MACHINE\\Mine]\n"}) {
        EXPECT_NE(std::string::npos, file.find(line)) << line << " in\n" << file;
    }
    EXPECT_EQ(std::string::npos, file.find("hex:01,02,ff")) << file;
    EXPECT_EQ(std::string::npos, file.find("Forged")) << file;
}

TEST_F(RegistryTest, RegQueryValueReportsShortBuffers) {
    ASSERT_EQ(registry_->SetText(Hive::ClassesRoot, "K", "", "12345"), ERROR_SUCCESS);
    char buffer[6];
    long size = 5;
    EXPECT_EQ(RegQueryValueA(*registry_, Hive::ClassesRoot, "K", buffer, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 6);
    size = 6;
    EXPECT_EQ(RegQueryValueA(*registry_, Hive::ClassesRoot, "K", buffer, &size), ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "12345");
}

TEST_F(RegistryTest, InternetSettingsComeFromHttpProxyUntilTheUserFileHasThem) {
    uint32_t enable = 7;
    std::string server;
    ASSERT_EQ(
        registry_->QueryDword(Hive::CurrentUser, kInternetSettingsKey, "ProxyEnable", &enable),
        ERROR_SUCCESS);
    EXPECT_EQ(enable, 0u);
    EXPECT_EQ(registry_->QueryText(Hive::CurrentUser, kInternetSettingsKey, "ProxyServer", &server),
              ERROR_FILE_NOT_FOUND);

    ::setenv("http_proxy", "http://user:pw@127.0.0.1:3128/", 1);
    ASSERT_EQ(
        registry_->QueryDword(Hive::CurrentUser, kInternetSettingsKey, "ProxyEnable", &enable),
        ERROR_SUCCESS);
    EXPECT_EQ(enable, 1u);
    ASSERT_EQ(registry_->QueryText(Hive::CurrentUser, kInternetSettingsKey, "ProxyServer", &server),
              ERROR_SUCCESS);
    EXPECT_EQ(server, "127.0.0.1:3128");

    ASSERT_EQ(registry_->SetDword(Hive::CurrentUser, kInternetSettingsKey, "ProxyEnable", 0),
              ERROR_SUCCESS);
    ASSERT_EQ(
        registry_->QueryDword(Hive::CurrentUser, kInternetSettingsKey, "ProxyEnable", &enable),
        ERROR_SUCCESS);
    EXPECT_EQ(enable, 0u);
    ::unsetenv("http_proxy");
}

TEST_F(RegistryTest, ConcurrentWritersLoseNoValue) {
    constexpr int kWriters = 6, kValues = 40;
    for (int w = 0; w < kWriters; ++w) {
        if (::fork() == 0) {
            auto registry = OpenFileRegistry(machine_, user_);
            for (int i = 0; i < kValues; ++i) {
                registry->SetDword(Hive::LocalMachine, "K" + std::to_string(w),
                                   "V" + std::to_string(i), static_cast<uint32_t>(i));
            }
            std::_Exit(0);
        }
    }
    for (int w = 0; w < kWriters; ++w) {
        int status = 0;
        ::wait(&status);
    }
    for (int w = 0; w < kWriters; ++w) {
        for (int i = 0; i < kValues; ++i) {
            uint32_t n = 0;
            ASSERT_EQ(registry_->QueryDword(Hive::LocalMachine, "K" + std::to_string(w),
                                            "V" + std::to_string(i), &n),
                      ERROR_SUCCESS);
            EXPECT_EQ(n, static_cast<uint32_t>(i));
        }
    }
}

TEST_F(RegistryTest, DataDirectoryIsDescrambledAndEndsWithSlash) {
    EXPECT_FALSE(ReadDataDirectory(*registry_).has_value());
    ASSERT_EQ(registry_->SetText(Hive::ClassesRoot, DataDirectoryKey(), "", scramble("/srv/quar")),
              ERROR_SUCCESS);
    EXPECT_EQ(ReadDataDirectory(*registry_).value(), "/srv/quar/");
    ASSERT_EQ(registry_->SetText(Hive::ClassesRoot, DataDirectoryKey(), "", ""), ERROR_SUCCESS);
    EXPECT_EQ(ReadDataDirectory(*registry_).value(), "");

    FailingRegistry failing(OpenFileRegistry(machine_, user_));
    failing.failReads = true;
    EXPECT_FALSE(ReadDataDirectory(failing).has_value());
    failing.failReads = false;
    EXPECT_TRUE(ReadDataDirectory(failing).has_value());
}

TEST_F(RegistryTest, UnwritableLocationReportsAccessDenied) {
    // A regular file where a directory should be: no root trick needed.
    ASSERT_TRUE(ReplaceFileAtomically((dir_ / "blocker").string(), "x"));
    auto blocked = OpenFileRegistry((dir_ / "blocker" / "machine.reg").string(), user_);
    EXPECT_EQ(blocked->SetText(Hive::LocalMachine, "K", "", "v"), ERROR_ACCESS_DENIED);
}

TEST_F(RegistryTest, FilesThatAreNoRegistryAreRefusedAndLeftAlone) {
    const std::string big = (dir_ / "big.reg").string();
    const std::string text = "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\K]\n@=\"v\"\n";
    {
        std::string content = text + std::string(kMaxRegistryFileBytes, ';');
        ASSERT_TRUE(ReplaceFileAtomically(big, content));
    }
    const std::string justFits = (dir_ / "fits.reg").string();
    ASSERT_TRUE(ReplaceFileAtomically(
        justFits, text + std::string(kMaxRegistryFileBytes - text.size(), ';')));
    const struct {
        std::string file;
        long expected;
    } cases[] = {
        {"/dev/zero", ERROR_BADDB},  // never ends
        {big, ERROR_BADDB},
        {dir_.string(), ERROR_BADDB},  // a directory cannot be read
        {justFits, ERROR_SUCCESS},
    };
    for (const auto& c : cases) {
        auto registry = OpenFileRegistry(c.file, user_);
        std::string value;
        EXPECT_EQ(registry->QueryText(Hive::ClassesRoot, "K", "", &value), c.expected) << c.file;
        if (c.expected == ERROR_BADDB) {
            EXPECT_EQ(registry->SetText(Hive::ClassesRoot, "K", "", "w"), ERROR_BADDB) << c.file;
        }
    }
    EXPECT_EQ(ReadWholeFile(big, 2 * kMaxRegistryFileBytes)->size(),
              text.size() + kMaxRegistryFileBytes);
}
