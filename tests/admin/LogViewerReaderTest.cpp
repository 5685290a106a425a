// Streaming the event log: every line with its offset, whatever the buffer size, the read
// sizes, the line lengths and the last line's end; and reading one line again by its offset.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "admin/LogViewerReader.h"
#include "platform/FileUtil.h"
#include "support/TempDir.h"

namespace {

struct LineAt {
    std::uint64_t offset;
    std::string text;
    bool operator==(const LineAt& o) const { return offset == o.offset && text == o.text; }
};

std::ostream& operator<<(std::ostream& out, const LineAt& line) {
    return out << line.offset << ":" << testing::PrintToString(line.text);
}

// What the reader must give: the LF-separated lines, a last one without LF when it has bytes,
// each cut to `maxLine`.
std::vector<LineAt> Expected(const std::string& content, std::size_t maxLine) {
    std::vector<LineAt> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t lf = content.find('\n', start);
        const std::size_t end = lf == std::string::npos ? content.size() : lf;
        lines.push_back({start, content.substr(start, std::min(end - start, maxLine))});
        start = end + 1;
    }
    return lines;
}

std::vector<LineAt> ReadAll(int fd, std::size_t chunk, std::size_t maxLine) {
    LogLineReader reader(fd, chunk, maxLine);
    std::vector<LineAt> lines;
    std::uint64_t offset = 0;
    std::string_view text;
    while (reader.Next(offset, text)) {
        lines.push_back({offset, std::string(text)});
    }
    EXPECT_FALSE(reader.Next(offset, text));  // the end stays the end
    return lines;
}

const std::vector<std::string>& Contents() {
    static const std::vector<std::string> contents = {
        "",
        "\n",
        "\n\n\r\n",
        "a",
        "a\r\nb\r\n",
        "abc\ndefgh\nij",
        "exactly5\n12345\n123456\n1234\n",
        std::string(40, 'x') + "\nshort\n" + std::string(13, 'y'),
        std::string(9, 'z') + "\n" + std::string(10, 'w') + "\n" + std::string(11, 'v') + "\n",
        std::string("nul\0inside\n\xff\xfe\n", 15),
    };
    return contents;
}

class LogLineReaderTest : public ::testing::Test {
  protected:
    int OpenWith(const std::string& content) {
        dir_.Write("log.txt", content);
        fd_ = UniqueFd(::open((dir_ / "log.txt").c_str(), O_RDONLY));
        EXPECT_TRUE(fd_);
        return fd_.get();
    }
    TempDir dir_;
    UniqueFd fd_;
};

}  // namespace

TEST_F(LogLineReaderTest, EveryLineWithItsOffsetForAnyBufferSize) {
    for (const std::string& content : Contents()) {
        for (std::size_t maxLine : {1u, 4u, 5u, 9u, 64u}) {
            for (std::size_t chunk :
                 {maxLine + 1, maxLine + 2, std::size_t{16}, std::size_t{4096}}) {
                const int fd = OpenWith(content);
                EXPECT_EQ(ReadAll(fd, chunk, maxLine), Expected(content, maxLine))
                    << testing::PrintToString(content) << " chunk " << chunk << " max " << maxLine;
            }
        }
    }
}

TEST_F(LogLineReaderTest, ShortReadsFromAPipe) {
    // A pipe hands the bytes over in the writer's small pieces.
    const std::string content = "first\nsecond line\n" + std::string(30, 'L') + "\nlast";
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    UniqueFd readEnd(fds[0]);
    std::thread writer([&content, writeFd = fds[1]] {
        for (std::size_t i = 0; i < content.size(); i += 3) {
            const std::string piece = content.substr(i, 3);
            ASSERT_TRUE(WriteAll(writeFd, piece.data(), piece.size()));
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ::close(writeFd);
    });
    const std::vector<LineAt> lines = ReadAll(readEnd.get(), 12, 8);
    writer.join();
    EXPECT_EQ(lines, Expected(content, 8));
}

TEST_F(LogLineReaderTest, ReadingOneLineAgain) {
    const std::string longLine(10000, 'q');
    const int fd = OpenWith("one\r\n" + longLine + "\nlast");
    EXPECT_EQ(ReadLogLineAt(fd, 0), "one\r");
    EXPECT_EQ(ReadLogLineAt(fd, 2), "e\r");
    EXPECT_EQ(ReadLogLineAt(fd, 5), longLine);  // across the pieces it reads
    EXPECT_EQ(ReadLogLineAt(fd, 5, 4097), longLine.substr(0, 4097));
    EXPECT_EQ(ReadLogLineAt(fd, 5 + 10001), "last");
    EXPECT_EQ(ReadLogLineAt(fd, 5 + 10001 + 4), "");
    EXPECT_EQ(ReadLogLineAt(fd, 1u << 30), "");
    EXPECT_EQ(ReadLogLineAt(-1, 0), "");
}

TEST_F(LogLineReaderTest, UnreadableDescriptorIsAnEmptyLog) {
    const std::vector<LineAt> none;
    EXPECT_EQ(ReadAll(-1, 16, 4), none);
    // A directory opens but cannot be read.
    UniqueFd dir(::open(dir_.path().c_str(), O_RDONLY));
    ASSERT_TRUE(dir);
    EXPECT_EQ(ReadAll(dir.get(), 16, 4), none);
}
