// What a request stores of its parameters, through a transport of the test's own that asks for
// a compressed body (as only a subclass can).
#include <string.h>

#include <string>
#include <type_traits>

#include <gtest/gtest.h>
#include <zlib.h>

#include "QuarInet.h"

namespace {

// Copies would share the stored buffers and release them twice.
static_assert(!std::is_copy_constructible_v<QuarInetHttpRequest> &&
                  !std::is_copy_assignable_v<QuarInetHttpRequest>,
              "requests are not copied");

class CompressingRequest : public QuarInetHttpRequest {
  public:
    CompressingRequest() : QuarInetHttpRequest(nullptr, nullptr) {}
    uint32_t Send(const char* host, uint32_t port, const char* verb, const char* path,
                  const char* headers, uint32_t headers_length, const char* body,
                  uint32_t body_length) override {
        return SetRequestParams(host, port, verb, path, headers, headers_length, body, body_length,
                                true);
    }
    uint32_t Receive(char*&, uint32_t&, char*&, uint32_t&) override { return 0; }
    void Abort(uint32_t) override {}
};

std::string Gunzip(const char* bytes, uint32_t size) {
    z_stream z{};
    inflateInit2(&z, 31);
    std::string out(1 << 20, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes));
    z.avail_in = size;
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    inflate(&z, Z_FINISH);
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

TEST(RequestParams, CompressedBodiesAndTheirHeaders) {
    struct Case {
        const char* name;
        std::string headers;
        std::string body;
        std::string storedHeaders;  // "{N}": the compressed length
        bool compressed;
    };
    const Case cases[] = {
        {"body compressed, encoding lines replaced",
         "Accept-Encoding: identity\r\nX-A: 1\r\nContent-Length: 5000\r\n"
         "Content-Encoding: none\r\n",
         std::string(5000, 'q'),
         "X-A: 1\r\nAccept-Encoding: x-gzip\r\nContent-Encoding: x-gzip\r\nContent-Length: {N}\r\n",
         true},
        {"no headers of the caller", "", "abc",
         "Accept-Encoding: x-gzip\r\nContent-Encoding: x-gzip\r\nContent-Length: {N}\r\n", true},
        {"empty body keeps the caller's headers", "X-A: 1\r\n", "", "X-A: 1\r\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CompressingRequest request;
        ASSERT_EQ(0u, request.Send("h", 80, "POST", "/", c.headers.c_str(),
                                   static_cast<uint32_t>(c.headers.size()), c.body.data(),
                                   static_cast<uint32_t>(c.body.size())));
        std::string expected = c.storedHeaders;
        const size_t at = expected.find("{N}");
        if (at != std::string::npos) {
            expected.replace(at, 3, std::to_string(request.BodyLength));
        }
        ASSERT_NE(nullptr, request.Headers);
        EXPECT_EQ(expected, std::string(request.Headers, request.HeadersLength));
        EXPECT_EQ(strlen(request.Headers), request.HeadersLength);
        if (c.compressed) {
            EXPECT_EQ(c.body, Gunzip(request.Body, request.BodyLength));
        } else {
            EXPECT_EQ(nullptr, request.Body);
            EXPECT_EQ(0u, request.BodyLength);
        }
    }
}

TEST(RequestParams, StoredCopiesMayBePassedBackIn) {
    CompressingRequest request;
    ASSERT_EQ(0u, request.Send("host", 8080, "GET", "/a?b", "X: 1\r\n", 6, nullptr, 0));
    // As the worker and a redirect do: the request's own copies as parameters.
    ASSERT_EQ(0u,
              request.Send(request.Host, request.Port, request.Verb, request.Path, request.Headers,
                           request.HeadersLength, request.Body, request.BodyLength));
    EXPECT_STREQ("host", request.Host);
    EXPECT_STREQ("/a?b", request.Path);
    EXPECT_EQ("X: 1\r\n", std::string(request.Headers, request.HeadersLength));
    // A refused call keeps what was stored.
    EXPECT_EQ(QUARINET_ERROR_INVALID_PARAMETER,
              request.Send("host", 80, "GET", "/a\r\nb", nullptr, 0, nullptr, 0));
    EXPECT_STREQ("/a?b", request.Path);
    EXPECT_EQ(8080u, request.Port);
}

}  // namespace
