// Reading the status line: version, code and reason, each bounded by the caller's size.
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "QuarInet.h"

namespace {

struct StatusLine {
    bool ok;
    std::string version;
    uint32_t code;
    std::string reason;
};

// Reads with version and reason buffers of exactly `size` bytes, guarded on both sides.
StatusLine Read(const char* headers, int size) {
    std::string version(size + 2, '#');
    std::string reason(size + 2, '#');
    uint32_t code = 12345;
    bool ok = QuarInetGetHttpStatusCode(headers, &version[1], code, &reason[1], size);
    EXPECT_EQ('#', version[0]);
    EXPECT_EQ('#', version[size + 1]) << "version written past its " << size << " bytes";
    EXPECT_EQ('#', reason[0]);
    EXPECT_EQ('#', reason[size + 1]) << "reason written past its " << size << " bytes";
    return {ok, version.c_str() + 1, code, reason.c_str() + 1};
}

TEST(StatusLine, ReadsVersionCodeAndReason) {
    StatusLine line = Read("HTTP/1.0 200 OK\r\nServer: x\r\n\r\n", 1024);
    ASSERT_TRUE(line.ok);
    EXPECT_EQ("HTTP/1.0", line.version);
    EXPECT_EQ(200u, line.code);
    EXPECT_EQ("OK", line.reason);

    line = Read("HTTP/1.1 404 Not Found\r\n", 1024);
    ASSERT_TRUE(line.ok);
    EXPECT_EQ(404u, line.code);
    EXPECT_EQ("Not Found", line.reason);
}

TEST(StatusLine, MissingReasonIsEmptyNotTheNextHeader) {
    StatusLine line = Read("HTTP/1.1 204\r\nServer: x\r\n\r\n", 1024);
    ASSERT_TRUE(line.ok);
    EXPECT_EQ(204u, line.code);
    EXPECT_EQ("", line.reason);
    line = Read("HTTP/1.1 200 \r\n\r\n", 1024);
    ASSERT_TRUE(line.ok);
    EXPECT_EQ("", line.reason);
}

TEST(StatusLine, RefusesLinesWithoutCrOrNumberOrTooFarCr) {
    EXPECT_FALSE(Read("HTTP/1.0 200 OK", 1024).ok);
    EXPECT_FALSE(Read("HTTP/1.0 OK\r\n", 1024).ok);
    EXPECT_FALSE(Read("\r\n", 1024).ok);
    // The CR lies 15 characters from the start: within a size of 15, beyond a size of 14.
    EXPECT_TRUE(Read("HTTP/1.0 200 OK\r\n", 15).ok);
    EXPECT_FALSE(Read("HTTP/1.0 200 OK\r\n", 14).ok);
}

TEST(StatusLine, LineThatFillsTheSizeStaysWithinTheBuffers) {
    // A version word of exactly `size` characters would need size + 1 bytes.
    EXPECT_FALSE(Read("ABCDEFGHIJ\r\n", 10).ok);
    StatusLine line = Read("H 1 RRRRRRR\r\n", 11);
    ASSERT_TRUE(line.ok);
    EXPECT_EQ("H", line.version);
    EXPECT_EQ("RRRRRRR", line.reason);
}

TEST(StatusLine, NullArgumentsAndNonPositiveSizeFail) {
    char version[16], reason[16];
    uint32_t code = 0;
    EXPECT_FALSE(QuarInetGetHttpStatusCode(nullptr, version, code, reason, 16));
    EXPECT_FALSE(QuarInetGetHttpStatusCode("HTTP/1.0 200 OK\r\n", version, code, reason, 0));
}

}  // namespace
