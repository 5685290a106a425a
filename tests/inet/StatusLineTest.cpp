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
    bool operator==(const StatusLine& o) const {
        return ok == o.ok && version == o.version && code == o.code && reason == o.reason;
    }
};

void PrintTo(const StatusLine& s, std::ostream* out) {
    *out << (s.ok ? "ok " : "failed ") << s.version << "|" << s.code << "|" << s.reason;
}

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

TEST(StatusLine, Lines) {
    struct Case {
        const char* headers;
        int size;
        StatusLine expected;
    };
    const Case cases[] = {
        {"HTTP/1.0 200 OK\r\nServer: x\r\n\r\n", 1024, {true, "HTTP/1.0", 200, "OK"}},
        {"HTTP/1.1 404 Not Found\r\n", 1024, {true, "HTTP/1.1", 404, "Not Found"}},
        // A missing reason is empty, not the next header.
        {"HTTP/1.1 204\r\nServer: x\r\n\r\n", 1024, {true, "HTTP/1.1", 204, ""}},
        {"HTTP/1.1 200 \r\n\r\n", 1024, {true, "HTTP/1.1", 200, ""}},
        // The CR lies 15 characters from the start: within a size of 15.
        {"HTTP/1.0 200 OK\r\n", 15, {true, "HTTP/1.0", 200, "OK"}},
        // A line that fills the size stays within the buffers.
        {"H 1 RRRRRRR\r\n", 11, {true, "H", 1, "RRRRRRR"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.headers);
        EXPECT_EQ(c.expected, Read(c.headers, c.size));
    }
    // No CR, no number, no version, a CR beyond the size, a version word of exactly `size`
    // characters (it would need size + 1 bytes).
    const std::pair<const char*, int> refused[] = {
        {"HTTP/1.0 200 OK", 1024},   {"HTTP/1.0 OK\r\n", 1024}, {"\r\n", 1024},
        {"HTTP/1.0 200 OK\r\n", 14}, {"ABCDEFGHIJ\r\n", 10},
    };
    for (const auto& [headers, size] : refused) {
        SCOPED_TRACE(headers);
        EXPECT_FALSE(Read(headers, size).ok);
    }
}

TEST(StatusLine, NullArgumentsAndNonPositiveSizeFail) {
    char version[16], reason[16];
    uint32_t code = 0;
    EXPECT_FALSE(QuarInetGetHttpStatusCode(nullptr, version, code, reason, 16));
    EXPECT_FALSE(QuarInetGetHttpStatusCode("HTTP/1.0 200 OK\r\n", version, code, reason, 0));
}

}  // namespace
