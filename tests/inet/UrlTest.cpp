// Splitting and joining URLs, and form-style escaping.
#include <string>

#include <gtest/gtest.h>

#include "QuarInet.h"

namespace {

struct Split {
    bool ok;
    std::string scheme, host, path;
    uint32_t port;
};

// Splits with three buffers of exactly `size` bytes, guarded at their ends.
Split SplitUrl(const char* url, int size = 260) {
    std::string scheme(size + 1, '#'), host(size + 1, '#'), path(size + 1, '#');
    uint32_t port = 0;
    bool ok = QuarInetSplitUrl(url, scheme.data(), host.data(), port, path.data(), size);
    EXPECT_EQ('#', scheme[size]) << "scheme written past its buffer";
    EXPECT_EQ('#', host[size]) << "host written past its buffer";
    EXPECT_EQ('#', path[size]) << "path written past its buffer";
    return {ok, scheme.c_str(), host.c_str(), path.c_str(), port};
}

TEST(SplitUrl, SchemeHostPortAndPath) {
    Split url = SplitUrl("http://h:8080/p?q");
    ASSERT_TRUE(url.ok);
    EXPECT_EQ("http://", url.scheme);
    EXPECT_EQ("h", url.host);
    EXPECT_EQ(8080u, url.port);
    EXPECT_EQ("/p?q", url.path);

    url = SplitUrl("https://example.org/a/b");
    ASSERT_TRUE(url.ok);
    EXPECT_EQ("https://", url.scheme);
    EXPECT_EQ("example.org", url.host);
    EXPECT_EQ(80u, url.port);
    EXPECT_EQ("/a/b", url.path);
}

TEST(SplitUrl, PathAloneAndUrlWithoutPath) {
    Split url = SplitUrl("/p");
    ASSERT_TRUE(url.ok);
    EXPECT_EQ("", url.scheme);
    EXPECT_EQ("", url.host);
    EXPECT_EQ(80u, url.port);
    EXPECT_EQ("/p", url.path);
    EXPECT_FALSE(SplitUrl("http://h").ok);
    EXPECT_FALSE(SplitUrl("").ok);
}

TEST(SplitUrl, BackslashEndsTheHostLikeASlash) {
    Split url = SplitUrl("http://h\\share");
    ASSERT_TRUE(url.ok);
    EXPECT_EQ("h", url.host);
    EXPECT_EQ("\\share", url.path);
    // Either character later in the path leaves the host alone.
    url = SplitUrl("http://h/a\\b");
    ASSERT_TRUE(url.ok);
    EXPECT_EQ("h", url.host);
    EXPECT_EQ("/a\\b", url.path);
    url = SplitUrl("http://h\\a/b");
    ASSERT_TRUE(url.ok);
    EXPECT_EQ("h", url.host);
    EXPECT_EQ("\\a/b", url.path);
}

TEST(SplitUrl, UrlInsideTheQueryOfARelativeLocationIsNoScheme) {
    Split url = SplitUrl("/login?next=http://other/x");
    ASSERT_TRUE(url.ok);
    EXPECT_EQ("", url.scheme);
    EXPECT_EQ("", url.host);
    EXPECT_EQ("/login?next=http://other/x", url.path);
}

TEST(SplitUrl, SchemeOrHostThatDoesNotFitFailsAndPathIsCut) {
    EXPECT_FALSE(SplitUrl("http://h/p", 7).ok);  // "http://" needs 8 bytes
    EXPECT_TRUE(SplitUrl("http://h/p", 8).ok);
    EXPECT_FALSE(SplitUrl("http://a-host-name-longer-than-sixteen/p", 16).ok);
    EXPECT_FALSE(SplitUrl("a-host-name-longer-than-sixteen:80/p", 16).ok);
    Split url = SplitUrl("http://h/0123456789abcdef", 8);
    ASSERT_TRUE(url.ok);
    EXPECT_EQ("/012345", url.path);
}

TEST(SplitUrl, PortText) {
    EXPECT_EQ(0u, SplitUrl("h:/p").port);
    EXPECT_EQ(0u, SplitUrl("h:x/p").port);
    EXPECT_EQ(UINT32_MAX, SplitUrl("h:99999999999999999999/p").port);
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
}

TEST(CombineUrl, ResultMustFitWithItsNul) {
    // "http://h:8080/" is 14 characters: it needs 15 bytes.
    EXPECT_EQ("<false>", Combine("http://", "h", 8080, "/", 14));
    EXPECT_EQ("http://h:8080/", Combine("http://", "h", 8080, "/", 15));
    // Scheme, host and path lengths plus 5 may not exceed the size, port or not.
    EXPECT_EQ("<false>", Combine("http://", "h", 80, "/", 13));
    EXPECT_EQ("http://h/", Combine("http://", "h", 80, "/", 14));
}

std::string Escape(const char* in, int size = 256) {
    std::string out(size + 1, '#');
    bool ok = QuarURLEscape(out.data(), size, in);
    EXPECT_EQ('#', out[size]) << "written past the buffer";
    return ok ? std::string(out.c_str()) : "<false>" + std::string(out.c_str());
}

std::string Unescape(const char* in, int size = 256) {
    std::string out(size + 1, '#');
    bool ok = QuarURLUnescape(out.data(), size, in);
    EXPECT_EQ('#', out[size]) << "written past the buffer";
    return ok ? std::string(out.c_str()) : "<false>" + std::string(out.c_str());
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
