// Splitting multipart bodies: boundaries as RFC 2046 allows them, part layout, malformed bodies.
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "LibraryBuffer.h"
#include "QuarInet.h"

namespace {

struct Part {
    std::string headers;
    std::string data;
    bool operator==(const Part& other) const {
        return headers == other.headers && data == other.data;
    }
};

std::ostream& operator<<(std::ostream& out, const Part& part) {
    return out << "{headers=\"" << part.headers << "\", data=\"" << part.data << "\"}";
}

// The result of a parse, or "failed" when it returned 0 and left the output alone.
struct Parsed {
    bool failed = false;
    std::vector<Part> parts;
};

// Parses a copy of `body` in a buffer of exactly its size, so that reading past it shows.
Parsed Parse(const std::string& contentType, const std::string& body) {
    const std::string headers = "HTTP/1.0 200 OK\r\nContent-Type: " + contentType + "\r\n\r\n";
    std::vector<char> bytes(body.begin(), body.end());
    mime_part sentinel{};
    mime_part* parts = &sentinel;
    uint32_t count = ParseMimeMultipart(headers.c_str(), bytes.data(),
                                        static_cast<uint32_t>(bytes.size()), parts);
    Parsed parsed;
    if (count == 0 && parts == &sentinel) {
        parsed.failed = true;
        return parsed;
    }
    LibraryBuffer<mime_part> owned(parts);
    if (count == 0) {
        EXPECT_EQ(nullptr, parts);
    }
    for (uint32_t i = 0; i < count; ++i) {
        EXPECT_GE(parts[i].data, bytes.data());
        EXPECT_LE(parts[i].data + parts[i].data_length, bytes.data() + bytes.size());
        parsed.parts.push_back({std::string(parts[i].headers, parts[i].headers_length),
                                std::string(parts[i].data, parts[i].data_length)});
    }
    return parsed;
}

std::vector<Part> Parts(std::initializer_list<Part> parts) {
    return parts;
}

TEST(MimeParse, PlainBoundaryPartsUpToTheClosingDelimiter) {
    Parsed parsed = Parse("multipart/mixed; boundary=abc123",
                          "--abc123\r\nA: 1\r\nB: 2\r\n\r\nfirst\r\n"
                          "--abc123\r\nC: 3\r\n\r\nsecond\r\nline\r\n"
                          "--abc123--\r\n");
    ASSERT_FALSE(parsed.failed);
    EXPECT_EQ(Parts({{"A: 1\r\nB: 2", "first"}, {"C: 3", "second\r\nline"}}), parsed.parts);
}

TEST(MimeParse, PreambleAndEpilogueAreIgnored) {
    Parsed parsed = Parse("multipart/mixed; boundary=xyz",
                          "This is the preamble.\r\n--xyz\r\nA: 1\r\n\r\ndata\r\n--xyz--\r\n"
                          "epilogue" +
                              std::string(1, '\0') + "after");
    ASSERT_FALSE(parsed.failed);
    EXPECT_EQ(Parts({{"A: 1", "data"}}), parsed.parts);
}

TEST(MimeParse, BoundariesThatBrowsersCurlAndMailersSend) {
    const char* boundaries[] = {
        "----WebKitFormBoundary7MA4YWxkTrZu0gW",     // Chromium
        "------------------------d74496d66958873e",  // curl
        "----=_Part_0_123.456",
        "a'(b)+c_d,e-f.g/h:i=j?k",
        "Z",
    };
    for (const char* boundary : boundaries) {
        SCOPED_TRACE(boundary);
        const std::string b = boundary;
        const std::string body =
            "--" + b + "\r\nA: 1\r\n\r\nx\r\n--" + b + "\r\nB: 2\r\n\r\ny\r\n--" + b + "--\r\n";
        // Quoted, and unquoted where no quotes are needed.
        Parsed quoted = Parse("multipart/form-data; boundary=\"" + b + "\"", body);
        ASSERT_FALSE(quoted.failed);
        EXPECT_EQ(Parts({{"A: 1", "x"}, {"B: 2", "y"}}), quoted.parts);
        Parsed plain = Parse("multipart/form-data; boundary=" + b, body);
        ASSERT_FALSE(plain.failed);
        EXPECT_EQ(quoted.parts, plain.parts);
    }
}

TEST(MimeParse, QuotedBoundaryWithBlanksAndEscapes) {
    const std::string body = "--gc0p4Jq0M2Yt08j34c0p\r\nA: 1\r\n\r\nx\r\n--gc0p4Jq0M2Yt08j34c0p--";
    EXPECT_EQ(Parts({{"A: 1", "x"}}),
              Parse("multipart/mixed; boundary=\"gc0p4Jq0M2Yt08j34c0p\"", body).parts);
    const std::string spaced = "--two words\r\nA: 1\r\n\r\nx\r\n--two words--";
    EXPECT_EQ(Parts({{"A: 1", "x"}}),
              Parse("multipart/mixed; boundary=\"two words\"", spaced).parts);
    EXPECT_EQ(Parts({{"A: 1", "x"}}),
              Parse("multipart/mixed; boundary=\"two\\ words\"", spaced).parts);
    EXPECT_TRUE(Parse("multipart/mixed; boundary=\"two words", spaced).failed);
    EXPECT_TRUE(Parse("multipart/mixed; boundary=\"\"", spaced).failed);
    // A boundary that begins with "=" needs its quotes.
    EXPECT_EQ(
        Parts({{"A: 1", "x"}}),
        Parse("multipart/mixed; boundary=\"=_P\"", "--=_P\r\nA: 1\r\n\r\nx\r\n--=_P--").parts);
    // A blank ends an unquoted boundary.
    EXPECT_TRUE(Parse("multipart/mixed; boundary=two words", spaced).failed);
}

TEST(MimeParse, BoundaryParameterNameAndSpacing) {
    const std::string body = "--b1\r\nA: 1\r\n\r\nx\r\n--b1--\r\n";
    const std::vector<Part> expected = Parts({{"A: 1", "x"}});
    EXPECT_EQ(expected, Parse("multipart/mixed; BOUNDARY=b1", body).parts);
    EXPECT_EQ(expected, Parse("multipart/mixed; Boundary=b1", body).parts);
    EXPECT_EQ(expected, Parse("multipart/mixed;boundary = b1", body).parts);
    EXPECT_EQ(expected, Parse("multipart/mixed; boundary=b1; charset=x", body).parts);
    EXPECT_EQ(expected, Parse("multipart/mixed; xboundary=zz; boundary=b1", body).parts);
    EXPECT_EQ(expected, Parse("MULTIPART/MIXED; boundary=b1", body).parts);
    EXPECT_TRUE(Parse("multipart/mixed; boundary=", body).failed);
    EXPECT_TRUE(Parse("multipart/mixed", body).failed);
    EXPECT_TRUE(Parse("text/plain; boundary=b1", body).failed);
}

TEST(MimeParse, EmptyContentAndMissingHeadersDoNotWrapLengths) {
    // The blank line after the headers is also the line break before the next delimiter.
    EXPECT_EQ(
        Parts({{"A: 1", ""}, {"B: 2", "y"}}),
        Parse("multipart/mixed; boundary=b", "--b\r\nA: 1\r\n\r\n--b\r\nB: 2\r\n\r\ny\r\n--b--")
            .parts);
    EXPECT_EQ(Parts({{"A: 1", ""}}),
              Parse("multipart/mixed; boundary=b", "--b\r\nA: 1\r\n\r\n\r\n--b--").parts);
    EXPECT_EQ(Parts({{"", "body"}}),
              Parse("multipart/mixed; boundary=b", "--b\r\n\r\nbody\r\n--b--").parts);
    EXPECT_EQ(Parts({{"", "\r\n"}}),
              Parse("multipart/mixed; boundary=b", "--b\r\n\r\n\r\n\r\n--b--").parts);
}

TEST(MimeParse, DelimiterCountsOnlyAtTheStartOfALine) {
    EXPECT_EQ(Parts({{"A: 1", "x--b y --b"}}),
              Parse("multipart/mixed; boundary=b", "--b\r\nA: 1\r\n\r\nx--b y --b\r\n--b--").parts);
}

TEST(MimeParse, BodyWithoutPartsGivesZeroAndNoArray) {
    Parsed parsed = Parse("multipart/mixed; boundary=b", "--b--\r\n");
    EXPECT_FALSE(parsed.failed);
    EXPECT_TRUE(parsed.parts.empty());
}

TEST(MimeParse, MalformedBodiesGiveZeroAndLeaveTheOutputAlone) {
    const std::string type = "multipart/mixed; boundary=b";
    EXPECT_TRUE(Parse(type, "--b\r\nA: 1\r\n\r\nx\r\n").failed) << "no closing delimiter";
    EXPECT_TRUE(Parse(type, "--b\r\nA: 1\r\n\r\nx\r\n--b\r\nB: 2\r\n\r\ny").failed);
    EXPECT_TRUE(Parse(type, "no delimiter at all").failed);
    EXPECT_TRUE(Parse(type, "").failed);
    EXPECT_TRUE(Parse(type, "--b").failed) << "delimiter line without its end";
    EXPECT_TRUE(Parse(type, "--b\r\nA: 1\r\n--b\r\nB: 2\r\n\r\ny\r\n--b--").failed)
        << "a part without its blank line";
    EXPECT_TRUE(Parse(type, "--b\r\n--b--").failed);
}

TEST(MimeParse, ManyParts) {
    std::string body;
    for (int i = 0; i < 100; ++i) {
        body += "--b\r\nN: " + std::to_string(i) + "\r\n\r\n" + std::to_string(i * i) + "\r\n";
    }
    body += "--b--\r\n";
    Parsed parsed = Parse("multipart/mixed; boundary=b", body);
    ASSERT_EQ(100u, parsed.parts.size());
    EXPECT_EQ((Part{"N: 99", "9801"}), parsed.parts[99]);
}

TEST(MimeParse, NullArgumentsAndNonMultipart) {
    mime_part* parts = nullptr;
    EXPECT_EQ(0u, ParseMimeMultipart(nullptr, "--b--", 5, parts));
    EXPECT_EQ(
        0u, ParseMimeMultipart("Content-type: multipart/mixed; boundary=b\r\n", nullptr, 5, parts));
    EXPECT_TRUE(IsMimeMultipart("Content-type: Multipart/Form-Data\r\n"));
    EXPECT_FALSE(IsMimeMultipart("Content-type: text/html\r\n"));
    EXPECT_FALSE(IsMimeMultipart("Server: x\r\n"));
    EXPECT_FALSE(IsMimeMultipart(nullptr));
}

TEST(MimeParse, BuiltBodiesParseBackIntoTheirParts) {
    const char binary[] = {'\0', '\r', '\n', '-', '-', '\r', '\n'};
    const mime_part in[] = {
        {"Content-Disposition: form-data; name=\"a\"\r\n", 0, "alpha", 5},
        {"Content-Disposition: form-data; name=\"e\"\r\n", 0, "", 0},
        {"Content-Type: application/octet-stream\r\n", 0, binary, sizeof binary},
        {"", 0, "no headers", 0xFFFFFFFFu},
    };
    char* headers = nullptr;
    char* body = nullptr;
    uint32_t length = 0;
    ASSERT_TRUE(ConstructMimeMultipart(headers, body, length, nullptr, in, 4));
    LibraryBuffer<char> ownedHeaders(headers), ownedBody(body);
    mime_part* out = nullptr;
    ASSERT_EQ(4u, ParseMimeMultipart(headers, body, length, out));
    LibraryBuffer<mime_part> ownedParts(out);
    EXPECT_EQ("Content-Disposition: form-data; name=\"a\"",
              std::string(out[0].headers, out[0].headers_length));
    EXPECT_EQ("alpha", std::string(out[0].data, out[0].data_length));
    EXPECT_EQ(0u, out[1].data_length);
    EXPECT_EQ(std::string(binary, sizeof binary), std::string(out[2].data, out[2].data_length));
    EXPECT_EQ(0u, out[3].headers_length);
    EXPECT_EQ("no headers", std::string(out[3].data, out[3].data_length));
}

}  // namespace
