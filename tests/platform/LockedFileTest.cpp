// Small files rewritten in place: readers see the old or the new content, never a mix.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/FileUtil.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

class LockedFile : public ::testing::Test {
  protected:
    void SetUp() override { path_ = (dir_ / "session").string(); }

    TempDir scratch_;
    const fs::path dir_ = scratch_.path();
    std::string path_;
};

TEST_F(LockedFile, RewriteCreatesShrinksAndGrows) {
    for (const std::string& content : {std::string("first, long content"), std::string("short"),
                                       std::string(100000, 'x'), std::string()}) {
        ASSERT_TRUE(RewriteLockedFile(path_, content, 0600));
        EXPECT_EQ(ReadLockedFile(path_, 1 << 20), content);
    }
    struct stat st;
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_FALSE(ReadLockedFile((dir_ / "missing").string(), 100));
    ASSERT_TRUE(RewriteLockedFile(path_, "12345", 0600));
    EXPECT_FALSE(ReadLockedFile(path_, 4));  // larger than the caller accepts
}

TEST_F(LockedFile, LinksAreNotFollowed) {
    const std::string target = (dir_ / "target").string();
    ASSERT_TRUE(RewriteLockedFile(target, "target", 0600));
    fs::create_symlink(target, path_);
    EXPECT_FALSE(RewriteLockedFile(path_, "through the link", 0600));
    EXPECT_FALSE(ReadLockedFile(path_, 100));
    EXPECT_EQ(ReadLockedFile(target, 100), "target");
}

TEST_F(LockedFile, ConcurrentReadersSeeWholeContents) {
    const std::string a(3000, 'a');
    const std::string b(1000, 'b');
    ASSERT_TRUE(RewriteLockedFile(path_, a, 0600));
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i) {
            RewriteLockedFile(path_, i % 2 ? a : b, 0600);
        }
        done = true;
    });
    int mixed = 0;
    while (!done) {
        const std::optional<std::string> seen = ReadLockedFile(path_, 1 << 20);
        mixed += seen != a && seen != b;
    }
    writer.join();
    EXPECT_EQ(mixed, 0);
}

}  // namespace
