#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "imageserver/ImageApplication.h"
#include "support/CgiSite.h"

namespace {

const std::string kGifHeader = "Content-Type: image/gif\r\nPragma: no-cache\r\n\r\n";
const std::string kBannerAnswer =
    "Content-Type: text/plain\r\nPragma: no-cache\r\n\r\n"
    "Orvelle Pellmora version 2.0 (Aug 27 2002)";
const std::string kPixel(reinterpret_cast<const char*>(kBuiltInPixel), sizeof kBuiltInPixel);

class ImageServer : public ::testing::Test {
  protected:
    void SetUp() override {
        // The program finds its images beside itself (in cgi/), not in its working directory.
        dir_.Write("cgi/logo.gif", "GIF89a-logo-bytes");
        dir_.Write("cgi/notes.txt", std::string("any\0bytes", 9));
        dir_.Write("cgi/x/y.gif", "wrong folder");
        dir_.Write("y.gif", "outside");
        // No data directory: nothing the program does may depend on one.
        site_.UnregisterDataDirectory();
    }

    CgiResult Get(const char* query, std::map<std::string, std::string> env = {}) {
        CgiRequest request;
        request.timeoutSeconds = 20;
        if (query) {
            env["QUERY_STRING"] = query;
        }
        request.env = std::move(env);
        request.workingDirectory = dir_.path();
        return site_.Run(std::move(request));
    }

    CgiSite site_{QUARNBXPIC};
    const TempDir& dir_ = site_.dir();
};

}  // namespace

TEST_F(ImageServer, ServesAFileOfItsOwnFolder) {
    const CgiResult r = Get("logo.gif");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output, kGifHeader + "GIF89a-logo-bytes");
}

TEST_F(ImageServer, ServesOnlyNamesEndingInGif) {
    // The folder also holds the programs, pages and catalogue, which are not images.
    dir_.Write("cgi/UPPER.GIF", "GIF89a-upper");
    dir_.Write("cgi/quar_settings.dat", "secret settings");
    dir_.Write("cgi/quarnbxadmin", "program bytes");
    dir_.Write("cgi/.gif", "no name");
    const struct {
        const char* query;
        std::string body;
    } kCases[] = {
        {"logo.gif", "GIF89a-logo-bytes"}, {"UPPER.GIF", "GIF89a-upper"}, {"notes.txt", kPixel},
        {"quar_settings.dat", kPixel},     {"quarnbxadmin", kPixel},      {".gif", kPixel},
        {"logo.gif.txt", kPixel},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(Get(c.query).output, kGifHeader + c.body) << c.query;
    }
}

TEST_F(ImageServer, CutsPathsAtSlashBackslashAndColon) {
    EXPECT_EQ(Get("../x/y.gif").output, kGifHeader + kPixel);  // y.gif beside the program: none
    EXPECT_EQ(Get("x/../../logo.gif").output, kGifHeader + "GIF89a-logo-bytes");
    EXPECT_EQ(Get("C:logo.gif").output, kGifHeader + "GIF89a-logo-bytes");
    EXPECT_EQ(Get("a\\b:c/logo.gif").output, kGifHeader + "GIF89a-logo-bytes");
    EXPECT_EQ(Get("..\\..\\cgi\\logo.gif").output, kGifHeader + "GIF89a-logo-bytes");
}

TEST_F(ImageServer, MissingFilesGetTheBuiltInPixel) {
    const CgiResult r = Get("none.gif");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output, kGifHeader + kPixel);
    EXPECT_EQ(kPixel.size(), 49u);
    EXPECT_EQ(kPixel.substr(0, 6), "GIF89a");
    EXPECT_EQ(static_cast<unsigned char>(kPixel.back()), 0x3B);
    // Escapes are not decoded: "logo%2Egif" names no file.
    EXPECT_EQ(Get("logo%2Egif").output, kGifHeader + kPixel);
    // A directory is not an image.
    EXPECT_EQ(Get("..").output, kGifHeader + kPixel);
    EXPECT_EQ(Get(".").output, kGifHeader + kPixel);
}

TEST_F(ImageServer, NoNameGivesTheBanner) {
    EXPECT_EQ(Get(nullptr).output, kBannerAnswer);
    EXPECT_EQ(Get("").output, kBannerAnswer);
    EXPECT_EQ(Get("images/").output, kBannerAnswer);
    EXPECT_EQ(Get("C:").output, kBannerAnswer);
    EXPECT_EQ(Get("\\").output, kBannerAnswer);
}

TEST_F(ImageServer, WritesNoLogBecauseLoggingStaysOff) {
    dir_.Write("tmp/keep", "");
    Get("none.gif");
    EXPECT_FALSE(dir_.Exists("tmp/quar_nbx.log"));
}

TEST_F(ImageServer, SurvivesAHugeEnvironmentAndQuery) {
    std::map<std::string, std::string> env;
    for (int i = 0; i < 2000; ++i) {
        env["HTTP_X_" + std::to_string(i)] = std::string(100, 'v');
    }
    const std::string longName(100000, 'a');
    const CgiResult r = Get(longName.c_str(), env);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output, kGifHeader + kPixel);
}

TEST_F(ImageServer, OnlyRegularFilesOfItsFolderAreImages) {
    // A FIFO would keep the program waiting for a writer; a link may lead anywhere.
    ASSERT_EQ(::mkfifo((dir_ / "cgi/pipe.gif").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir_ / "y.gif", dir_ / "cgi/outside.gif");
    std::filesystem::create_symlink("logo.gif", dir_ / "cgi/alias.gif");
    for (const char* name : {"pipe.gif", "outside.gif", "alias.gif"}) {
        const CgiResult r = Get(name);
        EXPECT_EQ(r.signal, 0) << name;
        EXPECT_EQ(r.output, kGifHeader + kPixel) << name;
    }
}
