#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/ByteStream.h"
#include "archive/CFileException.h"
#include "archive/CKvArchive.h"
#include "archive/FileStream.h"

namespace {

TEST(MemoryStreamTest, ReadWriteShareOnePosition) {
    MemoryStream s;
    s.write("hello world");
    EXPECT_EQ(s.readByte(), -1);
    s.rewind();
    char buf[5];
    EXPECT_EQ(s.read(buf, 5), 5u);
    EXPECT_EQ(std::string(buf, 5), "hello");
    s.write("XY");  // overwrites at the position
    EXPECT_EQ(s.contents(), "helloXYorld");
    EXPECT_EQ(s.position(), 7u);
    EXPECT_EQ(s.readByte(), 'o');
    char rest[16];
    EXPECT_EQ(s.read(rest, sizeof rest), 3u);
    s.write("!!");  // extends at the end
    EXPECT_EQ(s.contents(), "helloXYorld!!");
    s.rewind();
    s.read(rest, 10);
    s.write("abcd");  // overwrites the last three bytes and extends by one
    EXPECT_EQ(s.contents(), "helloXYorlabcd");
    s.assign("new");
    EXPECT_EQ(s.position(), 0u);
    EXPECT_EQ(s.readByte(), 'n');
    EXPECT_EQ(s.release(), "new");
    EXPECT_EQ(s.size(), 0u);
    EXPECT_EQ(s.readByte(), -1);
}

std::string tempPath(const char* name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir != nullptr ? dir : "/tmp") + "/quar_archive_" +
           std::to_string(getpid()) + "_" + name;
}

TEST(FileStreamTest, ArchiveTextSurvivesAFileAcrossBufferBoundaries) {
    std::string path = tempPath("filestream");
    std::vector<std::string> words;
    for (int i = 0; i < 3000; ++i) {
        words.push_back("w" + std::to_string(i) + (i % 7 == 0 ? "|\n" : ""));
    }
    words.push_back(std::string(10000, 'L'));
    {
        FileStream out(path, FileStream::Mode::write);
        CKvArchive ar(out, false);
        for (auto& w : words) {
            ar.serializeString(w);
        }
        out.close();
    }
    FileStream in(path, FileStream::Mode::read);
    CKvArchive ar(in, true);
    for (const auto& w : words) {
        std::string back;
        ar.serializeString(back);
        ASSERT_EQ(back, w);
    }
    EXPECT_EQ(in.readByte(), -1);
    std::remove(path.c_str());
}

TEST(FileStreamTest, OpenFailuresRaiseFileExceptions) {
    std::string missing = tempPath("missing/none");
    try {
        FileStream f(missing, FileStream::Mode::read);
        FAIL();
    } catch (const CFileException& e) {
        EXPECT_EQ(e.cause(), CFileException::fileNotFound);
        EXPECT_EQ(e.osError(), ENOENT);
        EXPECT_EQ(e.errorText(), "The file could not be found: " + missing);
    }
    try {
        FileStream f("/", FileStream::Mode::write);
        FAIL();
    } catch (const CFileException& e) {
        EXPECT_EQ(e.osError(), EISDIR);
        EXPECT_EQ(e.cause(), CFileException::generic);
        EXPECT_EQ(e.errorText(), "The file operation failed: /");
    }
}

// Runs `child` in a forked process with standard input from `input` and standard output into
// a pipe; returns what it wrote.
template <class F>
std::string runWithStdio(const std::string& input, F&& child) {
    int in[2], out[2];
    EXPECT_EQ(pipe(in), 0);
    EXPECT_EQ(pipe(out), 0);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[1]);
        close(out[0]);
        child();
        std::fflush(stdout);
        _exit(0);
    }
    close(in[0]);
    close(out[1]);
    EXPECT_EQ(write(in[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
    close(in[1]);
    std::string result;
    char buf[4096];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0) {
        result.append(buf, static_cast<std::size_t>(n));
    }
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return result;
}

TEST(StdStreamTest, ReplyArchiveOverStandardOutputKeepsOrderWithStdio) {
    std::string out = runWithStdio("", [] {
        std::printf("Content-Type: text/plain\r\n\r\n");
        StdOutStream stream;
        CKvUntokenizer writer(stream);
        CKvArchive reply(writer);
        reply.storeString("ACK_ERR").storeString("Unknown request TEST (1)");
        std::printf("!");
    });
    EXPECT_EQ(out, "Content-Type: text/plain\r\n\r\n|ACK_ERR|\\24:Unknown request TEST (1)!");
}

TEST(StdStreamTest, StandardInputFeedsATokenizer) {
    std::string out = runWithStdio("|test\r\nobj|String*|1|x\r\nend", [] {
        StdInStream stream;
        CKvArchive request(stream, true);
        std::string name;
        std::list<std::string> list;
        request.serializeString(name).serializeStringList(list);
        std::printf("%s %s", name.c_str(), list.front().c_str());
    });
    EXPECT_EQ(out, "test x");
}

}  // namespace
