// The shared response rules and the body sink both transports read into, fed with canned
// responses in pieces: what is delivered, whole or streamed, and what Receive answers.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "GzipBytes.h"
#include "inet/HeaderLimits.h"
#include "inet/ResponseSink.h"

namespace {

using inet::ResponseContext;
using inet::Transport;

TEST(ResponseRules, StatusAndRedirectDecideWhatReceiveDoes) {
    const uint32_t kReading = 0xFFFF;  // the reading's own end decides
    struct Case {
        const char* name;
        Transport transport;
        const char* headers;
        unsigned redirects;
        bool head;
        uint32_t bodyLength;
        const char* follow;  // "host:port/path", or null
        bool decode;
        uint32_t result;   // with the reading ended cleanly (provisional 0)
        uint32_t failing;  // with the reading ended by 10054
    };
    const std::string kLongestStatus = "HTTP/1.0 200 " + std::string(1024 - 13, 'r') + "\r\n\r\n";
    const std::string kTooLongStatus = "HTTP/1.0 200 " + std::string(1025 - 13, 'r') + "\r\n\r\n";
    const Case cases[] = {
        {"200", Transport::kSockets, "HTTP/1.0 200 OK\r\n\r\n", 0, false, 5, nullptr, true, 0,
         10054},
        {"200 short of its length", Transport::kSockets,
         "HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\n", 0, false, 5, nullptr, true,
         QUARINET_ERROR_CUT_SHORT, 10054},
        {"HEAD has no body to be short of", Transport::kSockets,
         "HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\n", 0, true, 0, nullptr, true, 0, 10054},
        {"302 followed", Transport::kSockets, "HTTP/1.0 302 Found\r\nLocation: /next\r\n\r\n", 0,
         false, 0, "h:80/next", false, kReading, kReading},
        {"307 across hosts", Transport::kSockets,
         "HTTP/1.0 307 Moved\r\nLocation: http://o:81/x\r\n\r\n", 3, false, 0, "o:81/x", false,
         kReading, kReading},
        {"redirect without Location delivered", Transport::kSockets, "HTTP/1.0 301 M\r\n\r\n", 0,
         false, 0, nullptr, false, QUARINET_ERROR_STATUS, QUARINET_ERROR_STATUS},
        {"redirect elsewhere than http", Transport::kSockets,
         "HTTP/1.0 302 F\r\nLocation: https://h/\r\n\r\n", 0, false, 0, nullptr, false,
         QUARINET_ERROR_STATUS, QUARINET_ERROR_STATUS},
        {"redirect past the limit", Transport::kSockets, "HTTP/1.0 302 F\r\nLocation: /x\r\n\r\n",
         10, false, 0, nullptr, false, QUARINET_ERROR_REDIRECT_LIMIT,
         QUARINET_ERROR_REDIRECT_LIMIT},
        {"303 is not followed", Transport::kSockets, "HTTP/1.0 303 S\r\nLocation: /x\r\n\r\n", 0,
         false, 0, nullptr, false, QUARINET_ERROR_STATUS, QUARINET_ERROR_STATUS},
        {"401 challenge delivered", Transport::kSockets, "HTTP/1.0 401 U\r\n\r\n", 0, false, 0,
         nullptr, false, 0, 10054},
        {"404", Transport::kSockets, "HTTP/1.0 404 N\r\n\r\n", 0, false, 0, nullptr, false,
         QUARINET_ERROR_STATUS, QUARINET_ERROR_STATUS},
        {"not a status line: garbage", Transport::kSockets, "garbage\r\n\r\n", 0, false, 0, nullptr,
         false, QUARINET_ERROR_INVALID_RESPONSE, QUARINET_ERROR_INVALID_RESPONSE},
        {"not a status line: ", Transport::kSockets, "\r\n\r\n", 0, false, 0, nullptr, false,
         QUARINET_ERROR_INVALID_RESPONSE, QUARINET_ERROR_INVALID_RESPONSE},
        {"not a status line: HTTP/1.0 +200 OK", Transport::kSockets, "HTTP/1.0 +200 OK\r\n\r\n", 0,
         false, 0, nullptr, false, QUARINET_ERROR_INVALID_RESPONSE,
         QUARINET_ERROR_INVALID_RESPONSE},
        {"not a status line: HTTP/1.0 0200 OK", Transport::kSockets, "HTTP/1.0 0200 OK\r\n\r\n", 0,
         false, 0, nullptr, false, QUARINET_ERROR_INVALID_RESPONSE,
         QUARINET_ERROR_INVALID_RESPONSE},
        {"not a status line: HTTP/1.0 200.5 OK", Transport::kSockets, "HTTP/1.0 200.5 OK\r\n\r\n",
         0, false, 0, nullptr, false, QUARINET_ERROR_INVALID_RESPONSE,
         QUARINET_ERROR_INVALID_RESPONSE},
        {"not a status line: HTTP/1.0 200garbage", Transport::kSockets,
         "HTTP/1.0 200garbage\r\n\r\n", 0, false, 0, nullptr, false,
         QUARINET_ERROR_INVALID_RESPONSE, QUARINET_ERROR_INVALID_RESPONSE},
        {"not a status line: FOO 200 OK", Transport::kSockets, "FOO 200 OK\r\n\r\n", 0, false, 0,
         nullptr, false, QUARINET_ERROR_INVALID_RESPONSE, QUARINET_ERROR_INVALID_RESPONSE},
        {"not a status line: HTTP/1.0  200 OK", Transport::kSockets, "HTTP/1.0  200 OK\r\n\r\n", 0,
         false, 0, nullptr, false, QUARINET_ERROR_INVALID_RESPONSE,
         QUARINET_ERROR_INVALID_RESPONSE},
        {"not a status line: HTTP/x.0 200 OK", Transport::kSockets, "HTTP/x.0 200 OK\r\n\r\n", 0,
         false, 0, nullptr, false, QUARINET_ERROR_INVALID_RESPONSE,
         QUARINET_ERROR_INVALID_RESPONSE},
        {"not a status line: \\x01\\x02\\xff", Transport::kSockets, "\x01\x02\xff\r\n\r\n", 0,
         false, 0, nullptr, false, QUARINET_ERROR_INVALID_RESPONSE,
         QUARINET_ERROR_INVALID_RESPONSE},
        {"a transfer coding sent to an HTTP/1.0 client", Transport::kSockets,
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", 0, false, 5, nullptr, false,
         QUARINET_ERROR_INVALID_RESPONSE, QUARINET_ERROR_INVALID_RESPONSE},
        {"an empty Location", Transport::kSockets, "HTTP/1.0 302 F\r\nLocation: \r\n\r\n", 0, false,
         0, nullptr, false, QUARINET_ERROR_STATUS, QUARINET_ERROR_STATUS},
        {"status line without reason text", Transport::kSockets, "HTTP/1.0 200\r\n\r\n", 0, false,
         5, nullptr, true, 0, 10054},
        {"status line of 1,024 characters", Transport::kSockets, kLongestStatus.c_str(), 0, false,
         5, nullptr, true, 0, 10054},
        {"status line over 1,024 characters", Transport::kSockets, kTooLongStatus.c_str(), 0, false,
         5, nullptr, false, QUARINET_ERROR_INVALID_RESPONSE, QUARINET_ERROR_INVALID_RESPONSE},
        {"library: 200", Transport::kPlatformLibrary,
         "HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\n", 0, false, 9, nullptr, true, 0, 10054},
        {"library: a length beyond libcurl's range, the body short of it",
         Transport::kPlatformLibrary,
         "HTTP/1.0 200 OK\r\nContent-Length: 11777777777777777741\r\n\r\n", 0, false, 5, nullptr,
         true, QUARINET_ERROR_CUT_SHORT, QUARINET_ERROR_CUT_SHORT},
        {"library: 302 not followed", Transport::kPlatformLibrary,
         "HTTP/1.0 302 F\r\nLocation: /x\r\n\r\n", 0, false, 0, nullptr, false,
         QUARINET_ERROR_STATUS, QUARINET_ERROR_STATUS},
        {"library: no status line", Transport::kPlatformLibrary, "garbage\r\n\r\n", 0, false, 0,
         nullptr, false, QUARINET_ERROR_INVALID_RESPONSE, QUARINET_ERROR_INVALID_RESPONSE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResponseContext context;
        context.transport = c.transport;
        context.request = inet::HttpTarget{"h", 80, "/dir/page"};
        context.redirects = c.redirects;
        context.head = c.head;
        const inet::ResponseVerdict verdict = inet::JudgeResponse(c.headers, context);
        ASSERT_EQ(c.follow != nullptr, verdict.follow);
        if (verdict.follow) {
            EXPECT_EQ(c.follow, verdict.target.host + ":" + std::to_string(verdict.target.port) +
                                    verdict.target.path);
            continue;
        }
        EXPECT_EQ(c.decode, verdict.decode);
        EXPECT_EQ(c.result, inet::ReceiveResult(verdict, c.headers, c.bodyLength, 0));
        EXPECT_EQ(c.failing, inet::ReceiveResult(verdict, c.headers, c.bodyLength, 10054));
    }
}

// What a caller's body sink saw.
struct Seen {
    std::string headers;
    int headerCalls = 0;
    std::string body;
    size_t largestBlock = 0;
    size_t stopAfter = SIZE_MAX;  // answers 0x20000001 once this many body bytes came
};

uint32_t SeeHeaders(void* context, const char* headers, uint32_t length) {
    Seen& seen = *static_cast<Seen*>(context);
    seen.headers.assign(headers, length);
    ++seen.headerCalls;
    return 0;
}

uint32_t SeeBody(void* context, const char* bytes, uint32_t length) {
    Seen& seen = *static_cast<Seen*>(context);
    seen.body.append(bytes, length);
    seen.largestBlock = std::max<size_t>(seen.largestBlock, length);
    return seen.body.size() >= seen.stopAfter ? 0x20000001 : 0;
}

TEST(ResponseSink, CannedResponsesWholeAndStreamed) {
    const std::string text(300000, 't');
    const std::string twoMembers = GzipBytes("first ") + GzipBytes("second");
    const std::string gzipped = GzipBytes(text);
    const std::string gzippedLength = std::to_string(gzipped.size());
    std::string badTrailer = gzipped;
    badTrailer[badTrailer.size() - 8] ^= 1;  // the CRC-32
    const char* kGzip200 = "HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\n\r\n";
    const std::string cut = gzipped.substr(0, gzipped.size() / 2);
    std::string counting;
    for (int i = 0; i < 50000; ++i) {
        counting += std::to_string(i * 7919 % 100003) + ",";
    }
    std::string flipped = GzipBytes(counting);
    flipped[flipped.size() / 2] ^= 0x10;
    struct Case {
        const char* name;
        std::string response;
        size_t piece;  // bytes per read
        bool stream;
        size_t stopAfter;  // the caller stops after this many body bytes
        uint32_t result;
        std::string headers;  // as delivered
        std::string body;     // as delivered (streamed: as the sink saw it)
    };
    const std::string plain = "HTTP/1.0 200 OK\r\n\r\n";
    const Case cases[] = {
        {"whole, blank line split across reads", plain + "hello", 17, false, SIZE_MAX, 0, plain,
         "hello"},
        {"streamed in one-byte reads", plain + "hello", 1, true, SIZE_MAX, 0, plain, "hello"},
        {"whole gzip decoded at the end", kGzip200 + gzipped, 4096, false, SIZE_MAX, 0,
         "HTTP/1.0 200 OK\r\nContent-Length: 300000\r\n\r\n", text},
        {"streamed gzip decoded as it comes", kGzip200 + gzipped, 1000, true, SIZE_MAX, 0,
         "HTTP/1.0 200 OK\r\n\r\n", text},
        {"streamed gzip of two members", kGzip200 + twoMembers, 3, true, SIZE_MAX, 0,
         "HTTP/1.0 200 OK\r\n\r\n", "first second"},
        {"streamed gzip label on plain bytes passes them", kGzip200 + std::string("\x1fplain"), 1,
         true, SIZE_MAX, 0, "HTTP/1.0 200 OK\r\n\r\n", "\x1fplain"},
        {"streamed gzip with a bad trailer keeps what was decoded, and fails",
         kGzip200 + badTrailer, 65536, true, SIZE_MAX, QUARINET_ERROR_CONTENT_DECODING,
         "HTTP/1.0 200 OK\r\n\r\n", text},
        {"whole gzip with a bad trailer comes as it came", kGzip200 + badTrailer, 4096, false,
         SIZE_MAX, QUARINET_ERROR_CONTENT_DECODING, kGzip200, badTrailer},
        {"whole gzip cut short comes as it came", kGzip200 + cut, 4096, false, SIZE_MAX,
         QUARINET_ERROR_CONTENT_DECODING, kGzip200, cut},
        {"whole gzip with a flipped bit comes as it came", kGzip200 + flipped, 4096, false,
         SIZE_MAX, QUARINET_ERROR_CONTENT_DECODING, kGzip200, flipped},
        {"bytes past Content-Length are not the body's",
         "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabcdef", 4096, false, SIZE_MAX, 0,
         "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\n", "abc"},
        {"a negative Content-Length cuts nothing",
         "HTTP/1.0 200 OK\r\nContent-Length: -1\r\n\r\nabcdef", 4096, false, SIZE_MAX, 0,
         "HTTP/1.0 200 OK\r\nContent-Length: -1\r\n\r\n", "abcdef"},
        {"streamed gzip cut before the length it was sent with",
         "HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 999\r\n\r\n" +
             GzipBytes("first "),
         7, true, SIZE_MAX, QUARINET_ERROR_CUT_SHORT, "HTTP/1.0 200 OK\r\n\r\n", "first "},
        {"streamed gzip with its lines repeated",
         "HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " + gzippedLength +
             "\r\nContent-Encoding: gzip\r\nContent-Length: " + gzippedLength + "\r\n\r\n" +
             gzipped,
         65536, true, SIZE_MAX, 0, "HTTP/1.0 200 OK\r\n\r\n", text},
        {"streamed bytes past Content-Length are not the body's",
         "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabcdef", 2, true, SIZE_MAX, 0,
         "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\n", "abc"},
        {"streamed 404 body as it came", "HTTP/1.0 404 N\r\nContent-Encoding: gzip\r\n\r\nno", 5,
         true, SIZE_MAX, QUARINET_ERROR_STATUS, "HTTP/1.0 404 N\r\nContent-Encoding: gzip\r\n\r\n",
         "no"},
        {"the caller stops the body", plain + text, 65536, true, 100000, 0x20000001, plain,
         text.substr(0, 65536 - plain.size() + 65536)},
        {"a header block without end", std::string(inet::kMaxHeaderBlock + 10, 'h'), 65536, false,
         SIZE_MAX, QUARINET_ERROR_NO_HEADER_END, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Seen seen;
        seen.stopAfter = c.stopAfter;
        const QuarInetBodySink caller{&seen, &SeeHeaders, &SeeBody};
        ResponseContext context;
        context.request = inet::HttpTarget{"h", 80, "/"};
        inet::ResponseSink sink(inet::kReceiveGrowth, SIZE_MAX, c.stream ? &caller : nullptr,
                                context);
        ASSERT_TRUE(sink.Start());
        uint32_t rc = 0;
        for (size_t at = 0; rc == 0 && at < c.response.size(); at += c.piece) {
            const size_t n = std::min(c.piece, c.response.size() - at);
            ASSERT_TRUE(sink.Prepare(n));
            std::copy_n(c.response.data() + at, n, sink.Room());
            rc = sink.Commit(n);
        }
        char* headers = nullptr;
        char* body = nullptr;
        uint32_t headersLength = 0;
        uint32_t bodyLength = 0;
        if (rc == 0) {
            rc = sink.Finish(0, headers, headersLength, body, bodyLength);
        } else if (sink.HeadersDone()) {
            sink.HandOver(headers, headersLength, body, bodyLength);
        }
        EXPECT_EQ(c.result, rc);
        EXPECT_EQ(c.headers, std::string(headers != nullptr ? headers : "", headersLength));
        if (c.stream) {
            EXPECT_EQ(nullptr, body);
            EXPECT_EQ(1, seen.headerCalls);
            EXPECT_EQ(c.headers, seen.headers);
            EXPECT_TRUE(seen.body == c.body) << seen.body.size() << " bytes, not " << c.body.size();
            EXPECT_LE(seen.largestBlock, 256u << 10);
        } else {
            EXPECT_EQ(0, seen.headerCalls);
            EXPECT_TRUE(std::string(body != nullptr ? body : "", bodyLength) == c.body);
        }
        QuarInetFree(headers);
        QuarInetFree(body);
    }
}

}  // namespace
