// Building multipart bodies and their request headers.
#include <stdio.h>
#include <string.h>

#include <time.h>

#include <string>

#include <gtest/gtest.h>

#include "LibraryBuffer.h"
#include "QuarInet.h"

namespace {

struct Built {
    LibraryBuffer<char> headers;
    LibraryBuffer<char> body;
    uint32_t length = 0;

    std::string Headers() const { return headers.get(); }
    // The body with the NUL that follows it.
    std::string Body() const { return std::string(body.get(), length + 1); }
    // The boundary named in the headers.
    std::string Boundary() const {
        std::string text = Headers();
        size_t at = text.find("boundary=");
        EXPECT_NE(std::string::npos, at);
        return text.substr(at + 9, text.find("\r\n", at) - at - 9);
    }
};

Built Build(const char* requestHeaders, const mime_part* parts, uint32_t count) {
    char* headers = reinterpret_cast<char*>(1);
    char* body = reinterpret_cast<char*>(1);
    Built built;
    EXPECT_TRUE(ConstructMimeMultipart(headers, body, built.length, requestHeaders, parts, count));
    built.headers.reset(headers);
    built.body.reset(body);
    return built;
}

std::string Tick(uint32_t tick) {
    char text[16];
    snprintf(text, sizeof text, "08%X", tick);
    return text;
}

TEST(MimeBuild, LayoutOfTwoParts) {
    const mime_part parts[] = {
        {"Content-Disposition: form-data; name=\"a\"\r\n", 0, "a", 1},
        {"Content-Disposition: form-data; name=\"b\"\r\n", 0, "b", 1},
    };
    Built built = Build(nullptr, parts, 2);
    const std::string b = built.Boundary();
    ASSERT_EQ(0u, b.rfind("08", 0)) << b;
    EXPECT_LE(b.size(), 10u);
    const std::string expected =
        "--" + b + "\r\n" + "Content-Disposition: form-data; name=\"a\"\r\n\r\na\r\n" + "--" + b +
        "\r\n" + "Content-Disposition: form-data; name=\"b\"\r\n\r\nb\r\n" + "--" + b + "--\r\n" +
        std::string(1, '\0');
    EXPECT_EQ(expected, built.Body());
    EXPECT_EQ(expected.size() - 1, built.length);  // the NUL is not counted
    EXPECT_EQ("Content-type: multipart/form-data; boundary=" + b + "\r\n", built.Headers());
}

TEST(MimeBuild, BoundaryOccursInNoContent) {
    // Contents that hold the boundaries of the coming 300 milliseconds of tick counts.
    std::string content;
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint32_t tick = static_cast<uint32_t>(now.tv_sec * 1000ull + now.tv_nsec / 1000000);
    for (uint32_t t = tick - 2; t != tick + 300; ++t) {
        content += "<" + Tick(t) + ">";
    }
    const mime_part parts[] = {{"X: 1\r\n", 0, content.data(), (uint32_t)content.size()}};
    Built built = Build("", parts, 1);
    const std::string b = built.Boundary();
    EXPECT_EQ(std::string::npos, content.find(b)) << b;
    const std::string body = built.Body();
    EXPECT_EQ(body.find("--" + b + "\r\n"), 0u);
    EXPECT_EQ(body.size() - b.size() - 7, body.find("--" + b + "--\r\n"));
    EXPECT_EQ(2u, [&] {
        size_t n = 0;
        for (size_t at = body.find(b); at != std::string::npos; at = body.find(b, at + 1)) {
            ++n;
        }
        return n;
    }());
}

TEST(MimeBuild, TextLengthAndEmptyContent) {
    const mime_part parts[] = {
        {"A: 1\r\n", 0, "text content", 0xFFFFFFFFu},
        {"B: 2\r\n", 0, "ignored", 0},
    };
    Built built = Build(nullptr, parts, 2);
    const std::string b = built.Boundary();
    EXPECT_EQ("--" + b + "\r\nA: 1\r\n\r\ntext content\r\n--" + b + "\r\nB: 2\r\n\r\n\r\n--" + b +
                  "--\r\n" + std::string(1, '\0'),
              built.Body());
}

TEST(MimeBuild, BinaryContentIsCopiedByLength) {
    const char binary[] = {'x', '\0', '\r', '\n', '-', '-', '\xff'};
    const mime_part parts[] = {{"", 0, binary, sizeof binary}};
    Built built = Build(nullptr, parts, 1);
    const std::string b = built.Boundary();
    EXPECT_EQ("--" + b + "\r\n\r\n" + std::string(binary, sizeof binary) + "\r\n--" + b + "--\r\n" +
                  std::string(1, '\0'),
              built.Body());
}

TEST(MimeBuild, ListFormCountsEveryTripleUpToTheNull) {
    char* headers = nullptr;
    char* body = nullptr;
    uint32_t length = 0;
    ASSERT_TRUE(ConstructMimeMultipart(headers, body, length, "Content-type: multipart/mixed\r\n",
                                       "A: 1\r\n", "abc", 3u, "B: 2\r\n", "", 0u,
                                       static_cast<const char*>(nullptr)));
    Built built;
    built.headers.reset(headers);
    built.body.reset(body);
    built.length = length;
    const std::string b = built.Boundary();
    EXPECT_EQ("--" + b + "\r\nA: 1\r\n\r\nabc\r\n--" + b + "\r\nB: 2\r\n\r\n\r\n--" + b + "--\r\n" +
                  std::string(1, '\0'),
              built.Body());

    // No parts at all: the closing line alone.
    ASSERT_TRUE(
        ConstructMimeMultipart(headers, body, length, nullptr, static_cast<const char*>(nullptr)));
    Built empty;
    empty.headers.reset(headers);
    empty.body.reset(body);
    empty.length = length;
    EXPECT_EQ("--" + empty.Boundary() + "--\r\n" + std::string(1, '\0'), empty.Body());
}

TEST(MimeBuild, ContentTypeOfTheRequestKeepsItsValue) {
    const mime_part part = {"A: 1\r\n", 0, "x", 1};
    Built built = Build("Host: h\r\nContent-type: multipart/mixed\r\nX-Other: 1\r\n", &part, 1);
    EXPECT_EQ("Host: h\r\nX-Other: 1\r\nContent-type: multipart/mixed; boundary=" +
                  built.Boundary() + "\r\n",
              built.Headers());

    // Any letter case; the request's closing blank line is replaced by the new line.
    built = Build("content-type: multipart/related\r\n\r\n", &part, 1);
    EXPECT_EQ("Content-type: multipart/related; boundary=" + built.Boundary() + "\r\n",
              built.Headers());

    built = Build("Host: h\r\n\r\n", &part, 1);
    EXPECT_EQ("Host: h\r\nContent-type: multipart/form-data; boundary=" + built.Boundary() + "\r\n",
              built.Headers());
}

TEST(MimeBuild, LongContentTypeValueFitsTheHeaderBlock) {
    std::string request = "Content-type: multipart/mixed; " + std::string(400, 'p') + "\r\n";
    const mime_part part = {"A: 1\r\n", 0, "x", 1};
    Built built = Build(request.c_str(), &part, 1);
    // The value is carried over up to 254 characters.
    std::string headers = built.Headers();
    EXPECT_EQ(0u, headers.find("Content-type: multipart/mixed; ppp"));
    EXPECT_NE(std::string::npos, headers.find("; boundary=" + built.Boundary() + "\r\n"));
}

}  // namespace
