// The one reader of whole files: what it gives back, and why it gives nothing.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/FileUtil.h"
#include "support/TempDir.h"

namespace {

using namespace std::string_literals;

TEST(WholeFile, ReadsWhatIsThereAndSaysWhyNot) {
    const TempDir dir;
    dir.Write("file", "abc");
    dir.Write("folder/.keep", "");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    const std::size_t any = static_cast<std::size_t>(-1);

    struct Case {
        std::string path;
        std::size_t maxBytes;
        bool regularOnly;
        std::optional<std::string> content;  // nothing: fails with `failure`
        ReadFailure failure;
    };
    const std::vector<Case> cases = {
        {dir / "file", any, true, "abc", {}},
        {dir / "file", 3, false, "abc", {}},
        {dir / "file", 2, false, std::nullopt, ReadFailure::kTooLarge},
        {dir / "missing", any, false, std::nullopt, ReadFailure::kCannotOpen},
        {dir / "file\0x"s, any, false, std::nullopt, ReadFailure::kCannotOpen},
        {dir / "folder", any, false, std::nullopt, ReadFailure::kReadFailed},
        {dir / "folder", any, true, std::nullopt, ReadFailure::kCannotOpen},
        // A pipe without a writer would hold a reader that waits at the opening.
        {dir / "pipe", any, true, std::nullopt, ReadFailure::kCannotOpen},
        {"/dev/null", any, false, "", {}},
        {"/dev/null", any, true, std::nullopt, ReadFailure::kCannotOpen},
        {"/dev/zero", 100, false, std::nullopt, ReadFailure::kTooLarge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + (c.regularOnly ? " (regular only)" : ""));
        ReadFailure failure = ReadFailure::kNoMemory;  // not a failure any case expects
        EXPECT_EQ(ReadWholeFile(c.path, c.maxBytes, c.regularOnly, &failure), c.content);
        if (!c.content) {
            EXPECT_EQ(failure, c.failure);
        }
    }
}

}  // namespace

TEST(OpenFileRead, TheSizeHintNeverCutsOrPadsTheContent) {
    const TempDir dir;
    const std::string text(200000, 'x');
    dir.Write("f", text);
    // The caller's size is only a hint: a file that grew or shrank since is read as it is.
    for (long long hint : {-1LL, 0LL, 1LL, 199999LL, 200000LL, 200001LL, 1000000LL}) {
        const UniqueFd fd(::open((dir / "f").c_str(), O_RDONLY));
        const std::optional<std::string> got =
            ReadOpenFile(fd.get(), static_cast<std::size_t>(-1), nullptr, hint);
        ASSERT_TRUE(got) << hint;
        EXPECT_EQ(*got, text) << hint;
    }
}
