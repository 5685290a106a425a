// Files kept between the requests of one process: a kept copy is given again only while the
// file is the one it was read from, and every kind of change is read afresh.
#include "platform/KeptFiles.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <thread>

#include "platform/KeepingEnv.h"
#include "platform/Registry.h"
#include "support/TempDir.h"

namespace {

using namespace std::chrono_literals;
constexpr std::size_t kAnySize = static_cast<std::size_t>(-1);

struct timespec ModifiedTime(const std::string& path) {
    struct stat st;
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mtim;
}

// Gives the file the modification time `when` (its change time becomes now).
void SetModified(const std::string& path, struct timespec when) {
    const struct timespec times[2] = {when, when};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

struct timespec SecondsAgo(int seconds) {
    return {std::time(nullptr) - seconds, 0};
}

// File times come from a clock that moves in steps: waiting two of them makes the next change
// time differ from the last.
void WaitForNextTimeStep() {
    struct timespec step;
    ::clock_getres(CLOCK_REALTIME_COARSE, &step);
    std::this_thread::sleep_for(
        2 * (std::chrono::seconds(step.tv_sec) + std::chrono::nanoseconds(step.tv_nsec)));
}

}  // namespace

TEST(KeptFiles, AChangeOfAnyKindIsReadAfresh) {
    struct Case {
        const char* change;
        std::function<void(const TempDir& dir, const std::string& path)> apply;
        const char* then;  // the second read; null: nothing, the file cannot be opened
    };
    const Case cases[] = {
        {"none", [](const TempDir&, const std::string&) {}, "first"},
        {"rewritten in place, same size, another modification time",
         [](const TempDir& dir, const std::string& path) {
             dir.Write("file", "again");
             SetModified(path, SecondsAgo(50));
         },
         "again"},
        {"rewritten in place, same size and modification time",
         [](const TempDir& dir, const std::string& path) {
             const struct timespec was = ModifiedTime(path);
             WaitForNextTimeStep();
             dir.Write("file", "again");
             SetModified(path, was);
         },
         "again"},
        {"replaced by another file of the same size and modification time",
         [](const TempDir& dir, const std::string& path) {
             dir.Write("other", "again");
             SetModified(dir / "other", ModifiedTime(path));
             ASSERT_EQ(std::rename((dir / "other").c_str(), path.c_str()), 0);
         },
         "again"},
        {"grown", [](const TempDir& dir, const std::string&) { dir.Write("file", "first more"); },
         "first more"},
        {"removed", [](const TempDir&, const std::string& path) { ::unlink(path.c_str()); },
         nullptr},
        {"replaced by a directory",
         [](const TempDir&, const std::string& path) {
             ::unlink(path.c_str());
             ::mkdir(path.c_str(), 0755);
         },
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.change);
        const TempDir dir;
        const std::string path = dir / "file";
        dir.Write("file", "first");
        SetModified(path, SecondsAgo(100));
        KeptFiles kept(0ns);
        ReadFailure failure = ReadFailure::kReadFailed;
        const std::shared_ptr<const std::string> before = kept.Read(path, kAnySize, &failure);
        ASSERT_TRUE(before);
        EXPECT_EQ(*before, "first");

        c.apply(dir, path);
        const std::shared_ptr<const std::string> after = kept.Read(path, kAnySize, &failure);
        if (c.then == nullptr) {
            EXPECT_FALSE(after);
            EXPECT_EQ(failure, ReadFailure::kCannotOpen);
            continue;
        }
        ASSERT_TRUE(after);
        EXPECT_EQ(*after, c.then);
        // Unchanged, the kept copy itself is given; changed, a new one.
        EXPECT_EQ(after == before, std::string(c.then) == "first");
        EXPECT_EQ(kept.Read(path, kAnySize, &failure), after) << "the new text is kept";
    }
}

TEST(KeptFiles, WhatIsNotKeptIsReadEveryTime) {
    struct Case {
        const char* file;
        std::size_t size;
        std::chrono::nanoseconds settle;
    };
    const Case cases[] = {
        // Changed within the settle time: a further change in the same clock step would not
        // show in its times.
        {"just written", 10, KeptFiles::kSettle},
        {"larger than all that is kept", KeptFiles::kMaxBytes + 1, 0ns},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const TempDir dir;
        dir.Write("file", std::string(c.size, 'x'));
        KeptFiles kept(c.settle);
        const auto first = kept.Read(dir / "file", kAnySize, nullptr);
        const auto second = kept.Read(dir / "file", kAnySize, nullptr);
        ASSERT_TRUE(first && second);
        EXPECT_EQ(*first, *second);
        EXPECT_NE(first, second);
    }
}

TEST(KeptFiles, AKeptFileLargerThanTheReaderTakesIsRefused) {
    const TempDir dir;
    dir.Write("file", "0123456789");
    SetModified(dir / "file", SecondsAgo(100));
    KeptFiles kept(0ns);
    ASSERT_TRUE(kept.Read(dir / "file", kAnySize, nullptr));
    ReadFailure failure = ReadFailure::kCannotOpen;
    errno = 0;
    EXPECT_FALSE(kept.Read(dir / "file", 9, &failure));
    EXPECT_EQ(failure, ReadFailure::kTooLarge);
    EXPECT_EQ(errno, EFBIG);
}

// The registry and the settings go through the kept files too: a changed registry file is
// read by the next query.
TEST(KeepingEnv, RegistryQueriesSeeTheFileAsItIsNow) {
    const TempDir dir;
    const std::string file = dir / "machine.reg";
    ::setenv("QUAR_MACHINE_REGISTRY", file.c_str(), 1);
    const auto write = [&](const char* value) {
        dir.Write("machine.reg", std::string("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Q]\n"
                                             "\"Dir\"=\"") +
                                     value + "\"\n");
        SetModified(file, SecondsAgo(100));
    };
    const auto query = [](Env& env) {
        std::string text;
        env.OpenRegistry()->QueryText(Hive::LocalMachine, "Software\\Q", "Dir", &text);
        return text;
    };
    KeepingEnv env(Env::Default(), 0ns);
    write("/srv/one");
    EXPECT_EQ(query(env), "/srv/one");
    EXPECT_EQ(query(env), "/srv/one");
    write("/srv/second");
    EXPECT_EQ(query(env), "/srv/second");
    ::unsetenv("QUAR_MACHINE_REGISTRY");
}
