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

TEST(HeaderValue, Values) {
    struct Case {
        const char* block;
        const char* name;
        int size;           // of the output buffer
        const char* value;  // null: not found
    };
    const Case cases[] = {
        // The name matches without case; the value stops at the line end.
        {"HTTP/1.0 200 OK\r\nContent-Length: 12\r\nX: y\r\n\r\n", "content-length:", 32, "12"},
        {"A: 1\r\nB:    spaced value\r\n", "B:", 32, "spaced value"},
        // The last line may lack its CR LF, but then it needs a value.
        {"A: 1\r\nB: last", "b:", 32, "last"},
        {"A: 1\r\nContent-Length: ", "Content-Length:", 32, nullptr},
        {"A: 1\r\n", "Content-Length:", 32, nullptr},
        // An empty value that has its line end is a value.
        {"X:\r\nY: 2\r\n", "X:", 32, ""},
        // The value is cut to the buffer, its NUL included; no buffer, no value.
        {"Server: a-very-long-server-name\r\n", "Server:", 5, "a-ve"},
        {"Server: x\r\n", "Server:", 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.block) + " " + c.name);
        std::string out(c.size + 1, '#');
        const bool found = QuarInetGetHeaderValue(c.block, c.name, out.data(), c.size);
        EXPECT_EQ(c.value != nullptr, found);
        if (found && c.value != nullptr) {
            EXPECT_STREQ(c.value, out.c_str());
        }
        EXPECT_EQ('#', out[c.size]) << "written past the buffer";
    }
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

TEST(HeaderValue, LocationIsTheLocationHeader) {
    char out[64];
    ASSERT_TRUE(
        QuarInetGetLocation("HTTP/1.0 302 Found\r\nlocation: http://h/x\r\n\r\n", out, sizeof out));
    EXPECT_STREQ("http://h/x", out);
    EXPECT_FALSE(QuarInetGetLocation("HTTP/1.0 200 OK\r\n\r\n", out, sizeof out));
}

// Removing and appending lines in place: the text, its length and the position answered.
TEST(HeaderBlock, RemoveAndAppend) {
    constexpr int kNull = -1;
    struct Case {
        const char* name;
        const char* block;
        bool append;
        const char* argument;  // the name to remove or the line to append
        int at;                // offset of the answer in the block, or kNull
        const char* result;
        int givenLength = -1;  // a length other than the text's
    };
    const Case cases[] = {
        {"remove: the first match with its line end", "A: 1\r\nContent-Length: 5\r\n\r\n", false,
         "Content-Length:", 6, "A: 1\r\n\r\n"},
        {"remove: the first match only", "X: 1\r\nx: 2\r\n", false, "X:", 0, "x: 2\r\n"},
        {"remove: an unterminated last line", "A: 1\r\nB: 2", false, "b:", 6, "A: 1\r\n"},
        {"remove: a missing name changes nothing", "A: 1\r\n", false, "C:", kNull, "A: 1\r\n"},
        {"remove: the only line leaves the blank line", "Content-type: a/b\r\n\r\n", false,
         "Content-type:", 0, "\r\n"},
        // The length is corrected, not wrapped below zero.
        {"remove: a length that disagrees with the text", "A: 1\r\nB: 2\r\n", false, "B:", 6,
         "A: 1\r\n", 3},
        {"append: replaces the closing blank line", "A: 1\r\n\r\n", true, "X: 1\r\n", 6,
         "A: 1\r\nX: 1\r\n"},
        {"append: a line that closes the block again", "A: 1\r\n\r\n", true,
         "Content-Length: 3\r\n\r\n", 6, "A: 1\r\nContent-Length: 3\r\n\r\n"},
        {"append: to a block that is only its blank line", "\r\n", true,
         "Content-Length: 0\r\n\r\n", 0, "Content-Length: 0\r\n\r\n"},
        // An open block grows at its length; the answer is the new end.
        {"append: to an open block", "A: 1\r\n", true, "B: 2\r\n", 12, "A: 1\r\nB: 2\r\n"},
        {"append: to an empty block", "", true, "C: 3\r\n", 6, "C: 3\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Block block(c.block);
        if (c.givenLength >= 0) {
            block.length = static_cast<uint32_t>(c.givenLength);
        }
        const char* at = c.append ? QuarInetAppendHeader(block.data(), block.length, c.argument)
                                  : QuarInetRemoveHeader(block.data(), block.length, c.argument);
        EXPECT_EQ(c.at == kNull ? nullptr : block.data() + c.at, at);
        EXPECT_EQ(c.result, block.text());
        EXPECT_EQ(strlen(c.result), block.length);
    }
}

}  // namespace
