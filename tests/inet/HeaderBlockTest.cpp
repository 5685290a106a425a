// Header block functions: finding, reading, removing and appending header lines.
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "QuarInet.h"

namespace {

// A header block in a buffer with room to grow, as the library's callers keep them.
struct Block {
    explicit Block(const std::string& text) : bytes(text.size() + 256, '\0') {
        memcpy(bytes.data(), text.c_str(), text.size() + 1);
        length = static_cast<uint32_t>(text.size());
    }
    char* data() { return bytes.data(); }
    std::string text() const { return std::string(bytes.data()); }
    std::vector<char> bytes;
    uint32_t length;
};

TEST(HeaderValue, NameMatchesWithoutCaseAndValueStopsAtLineEnd) {
    char out[32];
    ASSERT_TRUE(QuarInetGetHeaderValue("HTTP/1.0 200 OK\r\nContent-Length: 12\r\nX: y\r\n\r\n",
                                       "content-length:", out, sizeof out));
    EXPECT_STREQ("12", out);
    ASSERT_TRUE(QuarInetGetHeaderValue("A: 1\r\nB:    spaced value\r\n", "B:", out, sizeof out));
    EXPECT_STREQ("spaced value", out);
    // The last line may lack its CR LF.
    ASSERT_TRUE(QuarInetGetHeaderValue("A: 1\r\nB: last", "b:", out, sizeof out));
    EXPECT_STREQ("last", out);
}

// Every lookup sees a name only where a header line begins: a longer name or a value that
// contains it is not that header.
TEST(HeaderLookup, NameMatchesOnlyAtTheStartOfALine) {
    struct Case {
        const char* block;
        const char* name;
        const char* value;  // null: not found
    };
    const Case cases[] = {
        {"X-Content-type: a/b\r\n", "Content-type:", nullptr},
        {"X-Content-type: a/b\r\ncontent-TYPE: c/d\r\n", "Content-type:", "c/d"},
        {"Content-type: a/b\r\n", "Content-type:", "a/b"},
        {"HTTP/1.0 302 Found\r\nX-Note: see Location: /a\r\nLocation: /b\r\n", "Location:", "/b"},
        {"HTTP/1.0 302 Found\r\nX-Old-Location: /a\r\n\r\n", "Location:", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.block);
        char out[32] = "";
        const bool found = QuarInetGetHeaderValue(c.block, c.name, out, sizeof out);
        EXPECT_EQ(c.value != nullptr, found);
        if (c.value != nullptr) {
            EXPECT_STREQ(c.value, out);
        }
        Block block(c.block);
        char* removed = QuarInetRemoveHeader(block.data(), block.length, c.name);
        EXPECT_EQ(c.value != nullptr, removed != nullptr);
        EXPECT_EQ(strlen(block.data()), block.length);
    }
    char location[16] = "";
    EXPECT_FALSE(QuarInetGetLocation("HTTP/1.0 301 M\r\nContent-Location: /x\r\n", location, 16));
    EXPECT_FALSE(IsMimeMultipart("X-Content-type: multipart/mixed; boundary=b\r\n"));
    EXPECT_TRUE(IsMimeMultipart("A: 1\r\nContent-type: multipart/mixed; boundary=b\r\n"));
}

TEST(HeaderValue, MissingNameOrEmptyValueAtTheEndFails) {
    char out[32] = "untouched";
    EXPECT_FALSE(QuarInetGetHeaderValue("A: 1\r\n", "Content-Length:", out, sizeof out));
    EXPECT_FALSE(
        QuarInetGetHeaderValue("A: 1\r\nContent-Length: ", "Content-Length:", out, sizeof out));
    // An empty value that has its line end is a value.
    ASSERT_TRUE(QuarInetGetHeaderValue("X:\r\nY: 2\r\n", "X:", out, sizeof out));
    EXPECT_STREQ("", out);
}

TEST(HeaderValue, ValueIsCutToTheBufferSize) {
    char out[8];
    memset(out, '#', sizeof out);
    ASSERT_TRUE(QuarInetGetHeaderValue("Server: a-very-long-server-name\r\n", "Server:", out, 5));
    EXPECT_STREQ("a-ve", out);
    EXPECT_EQ('#', out[5]);
    EXPECT_FALSE(QuarInetGetHeaderValue("Server: x\r\n", "Server:", out, 0));
}

TEST(HeaderValue, LocationIsTheLocationHeader) {
    char out[64];
    ASSERT_TRUE(
        QuarInetGetLocation("HTTP/1.0 302 Found\r\nlocation: http://h/x\r\n\r\n", out, sizeof out));
    EXPECT_STREQ("http://h/x", out);
    EXPECT_FALSE(QuarInetGetLocation("HTTP/1.0 200 OK\r\n\r\n", out, sizeof out));
}

TEST(RemoveHeader, RemovesTheFirstMatchWithItsLineEnd) {
    Block block("A: 1\r\nContent-Length: 5\r\n\r\n");
    char* at = QuarInetRemoveHeader(block.data(), block.length, "Content-Length:");
    ASSERT_EQ(block.data() + 6, at);
    EXPECT_EQ("A: 1\r\n\r\n", block.text());
    EXPECT_EQ(8u, block.length);  // shortened by the 19 characters of the line

    Block twice("X: 1\r\nx: 2\r\n");
    QuarInetRemoveHeader(twice.data(), twice.length, "X:");
    EXPECT_EQ("x: 2\r\n", twice.text());
    EXPECT_EQ(6u, twice.length);
}

TEST(RemoveHeader, UnterminatedLastLineIsCutAndMissingNameChangesNothing) {
    Block block("A: 1\r\nB: 2");
    EXPECT_EQ(block.data() + 6, QuarInetRemoveHeader(block.data(), block.length, "b:"));
    EXPECT_EQ("A: 1\r\n", block.text());
    EXPECT_EQ(6u, block.length);
    EXPECT_EQ(nullptr, QuarInetRemoveHeader(block.data(), block.length, "C:"));
    EXPECT_EQ(6u, block.length);
}

TEST(RemoveHeader, LengthThatDisagreesWithTheTextDoesNotWrap) {
    Block block("A: 1\r\nB: 2\r\n");
    block.length = 3;
    QuarInetRemoveHeader(block.data(), block.length, "B:");
    EXPECT_EQ(6u, block.length);
}

TEST(AppendHeader, ReplacesTheClosingBlankLine) {
    Block block("A: 1\r\n\r\n");
    char* at = QuarInetAppendHeader(block.data(), block.length, "X: 1\r\n");
    EXPECT_EQ(block.data() + 6, at);
    EXPECT_EQ("A: 1\r\nX: 1\r\n", block.text());
    EXPECT_EQ(12u, block.length);

    Block closed("A: 1\r\n\r\n");
    QuarInetAppendHeader(closed.data(), closed.length, "Content-Length: 3\r\n\r\n");
    EXPECT_EQ("A: 1\r\nContent-Length: 3\r\n\r\n", closed.text());
    EXPECT_EQ(closed.text().size(), closed.length);
}

TEST(AppendHeader, BlockThatIsOnlyItsBlankLineTakesTheLineFirst) {
    Block block("Content-type: a/b\r\n\r\n");
    QuarInetRemoveHeader(block.data(), block.length, "Content-type:");
    ASSERT_EQ("\r\n", block.text());
    QuarInetAppendHeader(block.data(), block.length, "Content-Length: 0\r\n\r\n");
    EXPECT_EQ("Content-Length: 0\r\n\r\n", block.text());
    EXPECT_EQ(block.text().size(), block.length);
}

TEST(AppendHeader, OpenBlockGrowsAtItsLength) {
    Block block("A: 1\r\n");
    char* end = QuarInetAppendHeader(block.data(), block.length, "B: 2\r\n");
    EXPECT_EQ("A: 1\r\nB: 2\r\n", block.text());
    EXPECT_EQ(12u, block.length);
    EXPECT_EQ(block.data() + 12, end);

    Block empty("");
    QuarInetAppendHeader(empty.data(), empty.length, "C: 3\r\n");
    EXPECT_EQ("C: 3\r\n", empty.text());
    EXPECT_EQ(6u, empty.length);
}

}  // namespace
