// UnpackContent on response buffers of the library's heap: which bodies are decoded, and how
// the header block is rewritten.
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "QuarInet.h"
#include "SameBytes.h"
#include "TestData.h"
#include "inet/GzipWriter.h"
#include "inet/InetHeap.h"

namespace {

// A response as a transport hands it over: header block and body in the library's heap.
struct Response {
    Response(const std::string& headerText, const std::string& bodyBytes) {
        headers = static_cast<char*>(inet::HeapAllocate(headerText.size() + 1));
        memcpy(headers, headerText.c_str(), headerText.size() + 1);
        headersLength = static_cast<uint32_t>(headerText.size());
        body = static_cast<char*>(inet::HeapAllocate(bodyBytes.size() + 1));
        memcpy(body, bodyBytes.data(), bodyBytes.size());
        body[bodyBytes.size()] = '\0';
        bodyLength = static_cast<uint32_t>(bodyBytes.size());
    }
    ~Response() {
        QuarInetFree(headers);
        QuarInetFree(body);
    }
    Response(const Response&) = delete;
    Response& operator=(const Response&) = delete;

    bool Unpack() { return UnpackContent(headers, headersLength, body, bodyLength); }
    std::string Headers() const { return headers; }
    std::string Body() const { return std::string(body, bodyLength); }

    char* headers;
    uint32_t headersLength;
    char* body;
    uint32_t bodyLength;
};

std::string Gzip(const std::string& data) {
    inet::MemoryOutStream out;
    EXPECT_TRUE(inet::GzipCompress(data.data(), data.size(), out));
    return std::string(reinterpret_cast<const char*>(out.Data()), out.Size());
}

TEST(UnpackContent, GzipBodyIsDecodedAndHeadersSayWhatItIsNow) {
    const std::string data = TextLike(50000);
    const std::string gz = Gzip(data);
    Response response("HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " +
                          std::to_string(gz.size()) + "\r\nContent-Type: text/plain\r\n\r\n",
                      gz);
    ASSERT_TRUE(response.Unpack());
    EXPECT_TRUE(SameBytes(data, response.Body()));
    EXPECT_EQ('\0', response.body[response.bodyLength]);
    EXPECT_EQ("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 50000\r\n\r\n",
              response.Headers());
    EXPECT_EQ(response.Headers().size(), response.headersLength);
}

TEST(UnpackContent, EncodingNamesAndHeaderBlockWithoutBlankLine) {
    const std::string gz = Gzip("abc");
    for (const char* encoding : {"x-gzip", "GZIP", "gzip, identity", "X-GZip"}) {
        Response response(std::string("HTTP/1.0 200 OK\r\ncontent-encoding: ") + encoding + "\r\n",
                          gz);
        ASSERT_TRUE(response.Unpack());
        EXPECT_EQ("abc", response.Body()) << encoding;
        EXPECT_EQ("HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\n", response.Headers());
    }
}

TEST(UnpackContent, RepeatedLinesAboutTheEncodedBytesAllGo) {
    const std::string gz = Gzip("abc");
    for (const char* lines :
         {"Content-Encoding: gzip\r\nContent-Encoding: gzip\r\n",
          "Content-Encoding: gzip\r\nContent-Length: 41\r\nContent-Length: 9\r\n"}) {
        Response response(std::string("HTTP/1.0 200 OK\r\n") + lines + "\r\n", gz);
        ASSERT_TRUE(response.Unpack());
        EXPECT_EQ("abc", response.Body()) << lines;
        EXPECT_EQ("HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\n", response.Headers()) << lines;
    }
}

TEST(UnpackContent, OtherEncodingsAndPlainResponsesStayAsTheyCame) {
    const std::string gz = Gzip("abc");
    for (const char* headers : {"HTTP/1.0 200 OK\r\nContent-Length: 23\r\n\r\n",
                                "HTTP/1.0 200 OK\r\nContent-Encoding: deflate\r\n\r\n",
                                "HTTP/1.0 200 OK\r\nContent-Encoding: \r\n\r\n",
                                "HTTP/1.0 200 OK\r\nX-Content-Encoding: gzip\r\n\r\n"}) {
        Response response(headers, gz);
        char* headersBefore = response.headers;
        char* bodyBefore = response.body;
        ASSERT_TRUE(response.Unpack());
        EXPECT_EQ(headersBefore, response.headers);
        EXPECT_EQ(bodyBefore, response.body);
        EXPECT_EQ(gz, response.Body());
        EXPECT_EQ(headers, response.Headers());
    }
}

TEST(UnpackContent, AnnouncedGzipThatIsNotGzipKeepsItsBytesButNotItsHeaders) {
    Response response("HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 11\r\n\r\n",
                      "plain bytes");
    ASSERT_TRUE(response.Unpack());
    EXPECT_EQ("plain bytes", response.Body());
    EXPECT_EQ("HTTP/1.0 200 OK\r\nContent-Length: 11\r\n\r\n", response.Headers());
}

TEST(UnpackContent, UnreadableGzipHeaderLeavesTheResponseAlone) {
    std::string gz = Gzip("abc");
    gz[3] = static_cast<char>(0x80);
    const std::string headers = "HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\n\r\n";
    Response response(headers, gz);
    ASSERT_TRUE(response.Unpack());
    EXPECT_EQ(gz, response.Body());
    EXPECT_EQ(headers, response.Headers());
}

TEST(UnpackContent, DamagedBodyYieldsWhatWasDecodedBeforeTheDamage) {
    const std::string data = TextLike(100000);
    const std::string gz = Gzip(data);
    Response response("HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\n\r\n",
                      gz.substr(0, gz.size() - 100));
    ASSERT_TRUE(response.Unpack());
    ASSERT_GT(response.bodyLength, 0u);
    EXPECT_LT(response.bodyLength, data.size());
    EXPECT_TRUE(SameBytes(data.substr(0, response.bodyLength), response.Body()));
    EXPECT_EQ(
        "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(response.bodyLength) + "\r\n\r\n",
        response.Headers());
}

// The form with `stopped` leaves a body whose decoding stopped early as it came, and says so.
TEST(UnpackContent, VariantSaysWhenDecodingStoppedEarly) {
    const std::string data = TextLike(100000);
    const std::string gz = Gzip(data);
    std::string badCrc = gz;
    badCrc[gz.size() - 8] ^= 1;
    std::string badLength = gz;
    badLength[gz.size() - 1] ^= 1;
    std::string badHeader = gz;
    badHeader[3] = static_cast<char>(0x80);
    const std::string encoded = "HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\n\r\n";
    struct Case {
        const char* name;
        std::string body;
        bool stopped;
        std::string headers;  // after
        std::string bodyAfter;
    };
    const Case cases[] = {
        {"whole", gz, false, "HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n", data},
        {"cut short", gz.substr(0, gz.size() - 100), true, encoded, gz.substr(0, gz.size() - 100)},
        {"wrong CRC-32", badCrc, true, encoded, badCrc},
        {"wrong length", badLength, true, encoded, badLength},
        {"unreadable gzip header", badHeader, true, encoded, badHeader},
        {"not gzip at all", "plain", false, "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\n",
         "plain"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Response response(encoded, c.body);
        bool stopped = !c.stopped;
        ASSERT_TRUE(UnpackContent(response.headers, response.headersLength, response.body,
                                  response.bodyLength, stopped));
        EXPECT_EQ(c.stopped, stopped);
        EXPECT_EQ(c.headers, response.Headers());
        EXPECT_TRUE(SameBytes(c.bodyAfter, response.Body()));
    }
}

TEST(UnpackContent, BodyThatWouldDecodeBeyond512MiBStaysEncoded) {
    // 513 members of 1 MiB of zeros each: about half a megabyte that decodes to 513 MiB.
    const std::string member = Gzip(std::string(1 << 20, '\0'));
    std::string bomb;
    for (int i = 0; i < 513; ++i) {
        bomb += member;
    }
    const std::string headers = "HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\n\r\n";
    Response response(headers, bomb);
    ASSERT_TRUE(response.Unpack());
    EXPECT_EQ(bomb.size(), response.bodyLength);
    EXPECT_EQ(headers, response.Headers());
    EXPECT_TRUE(SameBytes(bomb, response.Body()));
}

TEST(UnpackContent, EmptyGzipBodyAndNullArguments) {
    Response empty("HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\n\r\n", Gzip(""));
    ASSERT_TRUE(empty.Unpack());
    EXPECT_EQ(0u, empty.bodyLength);
    EXPECT_EQ("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", empty.Headers());

    char* headers = nullptr;
    char* body = nullptr;
    uint32_t headersLength = 0, bodyLength = 0;
    EXPECT_TRUE(UnpackContent(headers, headersLength, body, bodyLength));
    EXPECT_EQ(nullptr, headers);
}

}  // namespace
