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
    bool operator==(const Parsed& o) const { return failed == o.failed && parts == o.parts; }
};

std::ostream& operator<<(std::ostream& out, const Parsed& parsed) {
    if (parsed.failed) {
        return out << "failed";
    }
    for (const Part& part : parsed.parts) {
        out << part << " ";
    }
    return out << parsed.parts.size() << " parts";
}

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

TEST(MimeParse, Bodies) {
    const std::string b1 = "--b1\r\nA: 1\r\n\r\nx\r\n--b1--\r\n";
    const std::string spaced = "--two words\r\nA: 1\r\n\r\nx\r\n--two words--";
    const std::string mixed = "multipart/mixed; boundary=b";
    const Parsed kFailed{true, {}};
    const Parsed ax{false, {{"A: 1", "x"}}};
    struct Case {
        const char* name;
        std::string contentType;
        std::string body;
        Parsed expected;
    };
    const Case cases[] = {
        {"parts up to the closing delimiter",
         "multipart/mixed; boundary=abc123",
         "--abc123\r\nA: 1\r\nB: 2\r\n\r\nfirst\r\n--abc123\r\nC: 3\r\n\r\nsecond\r\nline\r\n"
         "--abc123--\r\n",
         {false, {{"A: 1\r\nB: 2", "first"}, {"C: 3", "second\r\nline"}}}},
        {"preamble and epilogue are ignored",
         "multipart/mixed; boundary=xyz",
         "This is the preamble.\r\n--xyz\r\nA: 1\r\n\r\ndata\r\n--xyz--\r\nepilogue" +
             std::string(1, '\0') + "after",
         {false, {{"A: 1", "data"}}}},
        // Quoted boundaries, with blanks and escapes.
        {"quoted", "multipart/mixed; boundary=\"gc0p4Jq0M2Yt08j34c0p\"",
         "--gc0p4Jq0M2Yt08j34c0p\r\nA: 1\r\n\r\nx\r\n--gc0p4Jq0M2Yt08j34c0p--", ax},
        {"quoted with a blank", "multipart/mixed; boundary=\"two words\"", spaced, ax},
        {"quoted with an escape", "multipart/mixed; boundary=\"two\\ words\"", spaced, ax},
        {"quote not closed", "multipart/mixed; boundary=\"two words", spaced, kFailed},
        {"quoted empty", "multipart/mixed; boundary=\"\"", spaced, kFailed},
        {"a leading = needs its quotes", "multipart/mixed; boundary=\"=_P\"",
         "--=_P\r\nA: 1\r\n\r\nx\r\n--=_P--", ax},
        {"a blank ends an unquoted boundary", "multipart/mixed; boundary=two words", spaced,
         kFailed},
        // The parameter's name and spacing.
        {"upper-case name", "multipart/mixed; BOUNDARY=b1", b1, ax},
        {"mixed-case name", "multipart/mixed; Boundary=b1", b1, ax},
        {"blanks around =", "multipart/mixed;boundary = b1", b1, ax},
        {"another parameter after", "multipart/mixed; boundary=b1; charset=x", b1, ax},
        {"a longer name before", "multipart/mixed; xboundary=zz; boundary=b1", b1, ax},
        {"upper-case type", "MULTIPART/MIXED; boundary=b1", b1, ax},
        {"empty boundary", "multipart/mixed; boundary=", b1, kFailed},
        {"no boundary", "multipart/mixed", b1, kFailed},
        {"not multipart", "text/plain; boundary=b1", b1, kFailed},
        // Empty content and missing headers do not wrap lengths; the blank line after the
        // headers is also the line break before the next delimiter.
        {"empty content",
         mixed,
         "--b\r\nA: 1\r\n\r\n--b\r\nB: 2\r\n\r\ny\r\n--b--",
         {false, {{"A: 1", ""}, {"B: 2", "y"}}}},
        {"empty content before the end",
         mixed,
         "--b\r\nA: 1\r\n\r\n\r\n--b--",
         {false, {{"A: 1", ""}}}},
        {"no headers", mixed, "--b\r\n\r\nbody\r\n--b--", {false, {{"", "body"}}}},
        {"no headers, content a line break",
         mixed,
         "--b\r\n\r\n\r\n\r\n--b--",
         {false, {{"", "\r\n"}}}},
        {"a delimiter counts only at the start of a line",
         mixed,
         "--b\r\nA: 1\r\n\r\nx--b y --b\r\n--b--",
         {false, {{"A: 1", "x--b y --b"}}}},
        {"no parts: zero and no array", mixed, "--b--\r\n", {false, {}}},
        // Malformed bodies give zero and leave the output alone.
        {"no closing delimiter", mixed, "--b\r\nA: 1\r\n\r\nx\r\n", kFailed},
        {"a last part without its delimiter", mixed, "--b\r\nA: 1\r\n\r\nx\r\n--b\r\nB: 2\r\n\r\ny",
         kFailed},
        {"no delimiter at all", mixed, "no delimiter at all", kFailed},
        {"nothing", mixed, "", kFailed},
        {"a delimiter line without its end", mixed, "--b", kFailed},
        {"a part without its blank line", mixed, "--b\r\nA: 1\r\n--b\r\nB: 2\r\n\r\ny\r\n--b--",
         kFailed},
        {"a delimiter and at once the end", mixed, "--b\r\n--b--", kFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, Parse(c.contentType, c.body));
    }
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
