// Splitting and joining URLs, and form-style escaping.
#include <string>

#include <gtest/gtest.h>

#include "QuarInet.h"

namespace {

struct Split {
    bool ok;
    std::string scheme, host;
    uint32_t port;
    std::string path;
    bool operator==(const Split& o) const {
        return ok == o.ok && scheme == o.scheme && host == o.host && port == o.port &&
               path == o.path;
    }
};

void PrintTo(const Split& s, std::ostream* out) {
    *out << (s.ok ? "ok " : "failed ") << s.scheme << "|" << s.host << "|" << s.port << "|"
         << s.path;
}

// Splits with three buffers of exactly `size` bytes, guarded at their ends.
Split SplitUrl(const char* url, int size = 260) {
    std::string scheme(size + 1, '#'), host(size + 1, '#'), path(size + 1, '#');
    uint32_t port = 0;
    bool ok = QuarInetSplitUrl(url, scheme.data(), host.data(), port, path.data(), size);
    EXPECT_EQ('#', scheme[size]) << "scheme written past its buffer";
    EXPECT_EQ('#', host[size]) << "host written past its buffer";
    EXPECT_EQ('#', path[size]) << "path written past its buffer";
    return {ok, scheme.c_str(), host.c_str(), port, path.c_str()};
}

TEST(SplitUrl, Parts) {
    struct Case {
        const char* url;
        int size;
        Split expected;
    };
    const Case cases[] = {
        {"http://h:8080/p?q", 260, {true, "http://", "h", 8080, "/p?q"}},
        {"https://example.org/a/b", 260, {true, "https://", "example.org", 80, "/a/b"}},
        // A path alone; a URL needs a path.
        {"/p", 260, {true, "", "", 80, "/p"}},
        // A backslash ends the host like a slash; either later in the path leaves it alone.
        {"http://h\\share", 260, {true, "http://", "h", 80, "\\share"}},
        {"http://h/a\\b", 260, {true, "http://", "h", 80, "/a\\b"}},
        {"http://h\\a/b", 260, {true, "http://", "h", 80, "\\a/b"}},
        // A URL inside the query of a relative location is no scheme.
        {"/login?next=http://other/x", 260, {true, "", "", 80, "/login?next=http://other/x"}},
        // The scheme and host must fit ("http://" needs 8 bytes); the path is cut.
        {"http://h/p", 8, {true, "http://", "h", 80, "/p"}},
        {"http://h/0123456789abcdef", 8, {true, "http://", "h", 80, "/012345"}},
        // Port text: empty or not a number is 0, too large is the largest.
        {"h:/p", 260, {true, "", "h", 0, "/p"}},
        {"h:x/p", 260, {true, "", "h", 0, "/p"}},
        {"h:99999999999999999999/p", 260, {true, "", "h", UINT32_MAX, "/p"}},
        // An IPv6 literal leaves its brackets behind.
        {"http://[::1]:8080/a", 260, {true, "http://", "::1", 8080, "/a"}},
        {"http://[fe80::1]/", 260, {true, "http://", "fe80::1", 80, "/"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(c.expected, SplitUrl(c.url, c.size));
    }
    const std::pair<const char*, int> failures[] = {
        {"http://h", 260},
        {"", 260},
        {"http://h/p", 7},
        {"http://a-host-name-longer-than-sixteen/p", 16},
        {"a-host-name-longer-than-sixteen:80/p", 16},
        {"http://[::1/p", 260},
        {"http://[::1]x/p", 260},
    };
    for (const auto& [url, size] : failures) {
        SCOPED_TRACE(url);
        EXPECT_FALSE(SplitUrl(url, size).ok);
    }
}

std::string Combine(const char* scheme, const char* host, uint32_t port, const char* path,
                    int size = 256) {
    std::string out(size + 1, '#');
    bool ok = QuarInetCombineUrl(scheme, host, port, path, out.data(), size);
    EXPECT_EQ('#', out[size]) << "written past the buffer";
    return ok ? std::string(out.c_str()) : std::string("<false>");
}

TEST(CombineUrl, DefaultsAndPort) {
    EXPECT_EQ("http://h/", Combine("", "h", 80, ""));
    EXPECT_EQ("http://h/", Combine(nullptr, "h", 0, nullptr));
    EXPECT_EQ("http://h:8080/", Combine("", "h", 8080, ""));
    EXPECT_EQ("https://x:443/a?b", Combine("https://", "x", 443, "/a?b"));
    EXPECT_EQ("http://[::1]:8080/", Combine("", "::1", 8080, ""));
    EXPECT_EQ("http://[::1]/", Combine("", "[::1]", 80, ""));
}

TEST(CombineUrl, ResultMustFitWithItsNul) {
    // "http://h:8080/" is 14 characters: it needs 15 bytes.
    EXPECT_EQ("<false>", Combine("http://", "h", 8080, "/", 14));
    EXPECT_EQ("http://h:8080/", Combine("http://", "h", 8080, "/", 15));
    // Scheme, host and path lengths plus 5 may not exceed the size, port or not.
    EXPECT_EQ("<false>", Combine("http://", "h", 80, "/", 13));
    EXPECT_EQ("http://h/", Combine("http://", "h", 80, "/", 14));
}

// `code` (escape or unescape) into a buffer of exactly `size` bytes, guarded at its end; a failure
// is "<false>" before what was written.
std::string Guarded(bool (*code)(char*, int, const char*), const char* in, int size) {
    std::string out(size + 1, '#');
    bool ok = code(out.data(), size, in);
    EXPECT_EQ('#', out[size]) << "written past the buffer";
    return ok ? std::string(out.c_str()) : "<false>" + std::string(out.c_str());
}
std::string Escape(const char* in, int size = 256) {
    return Guarded(QuarURLEscape, in, size);
}
std::string Unescape(const char* in, int size = 256) {
    return Guarded(QuarURLUnescape, in, size);
}

TEST(UrlEscape, FormStyle) {
    EXPECT_EQ("a+b%26c", Escape("a b&c"));
    EXPECT_EQ("%E9", Escape("\xE9"));
    EXPECT_EQ("%2E%7E%2A-_09azAZ", Escape(".~*-_09azAZ"));
    EXPECT_EQ("", Escape(""));
}

TEST(UrlEscape, PiecesThatDoNotFitWithTheNulFail) {
    EXPECT_EQ("a+b", Escape("a b", 4));
    EXPECT_EQ("<false>a+", Escape("a b", 3));
    // A three-character escape is never split.
    EXPECT_EQ("<false>a", Escape("a&", 4));
    EXPECT_EQ("a%26", Escape("a&", 5));
}

TEST(UrlUnescape, FormStyle) {
    EXPECT_EQ("a b&c", Unescape("a+b%26c"));
    EXPECT_EQ("\xE9", Unescape("%e9"));
    // Reading the hexadecimal number stops at the first other character.
    EXPECT_EQ(std::string("\x04") + "x", Unescape("%4Gx"));
    // Byte 0 cannot live in the text, so it reads as the digit zero.
    EXPECT_EQ("0", Unescape("%00"));
    EXPECT_EQ("0", Unescape("%GG"));
}

TEST(UrlUnescape, ShortEscapeOrFullBufferFails) {
    EXPECT_EQ("<false>ab", Unescape("ab%4"));
    EXPECT_EQ("<false>", Unescape("%"));
    EXPECT_EQ("ab", Unescape("ab", 3));
    EXPECT_EQ("<false>a", Unescape("abc", 2));
}

TEST(UrlEscape, EscapeThenUnescapeGivesEveryByteBack) {
    std::string all;
    for (int c = 1; c < 256; ++c) {
        all += static_cast<char>(c);
    }
    std::string escaped = Escape(all.c_str(), 1024);
    EXPECT_EQ(all, Unescape(escaped.c_str(), 1024));
}

}  // namespace
