// A socket request made the way a client application makes one, from the public header and
// libQuarInet.so alone (this target sees no other header of the library): a settings record of
// its own and a callback, then an exchange on the request's worker.
#include <QuarInet.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/RawServer.h"

namespace {

std::vector<uint32_t> gEvents;

void Record(void*, uintptr_t, uint32_t status, void*, uint32_t) {
    gEvents.push_back(status);
}

TEST(PublicSocketRequest, ClientMadeRequestFetchesABody) {
    struct Case {
        const char* name;
        int proxy;  // 1: the server stands in as the record's proxy
        bool changeRecordAfterwards;
        std::string requestStart;
    };
    const Case cases[] = {
        {"direct", 0, false, "GET /file.txt HTTP/1.0\r\nHost: 127.0.0.1:"},
        {"through the record's proxy", 1, false,
         "GET http://name.invalid:8080/file.txt HTTP/1.0\r\nProxy-Authorization: Basic "
         "dXNlcjpwdw==\r\n"},
        {"record changed after construction", 0, true,
         "GET /file.txt HTTP/1.0\r\nHost: 127.0.0.1:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server({RawReply::Plain("HTTP/1.0 200 OK\r\nContent-Length: 6\r\n\r\nbytes\n")});
        QuarInetOptions options;
        options.UseIEsettings = 0;
        options.Proxy = c.proxy;
        options.ProxyAuthorization = c.proxy;
        std::snprintf(options.ProxyAddress, sizeof options.ProxyAddress, "127.0.0.1");
        options.ProxyPort = server.port();
        std::snprintf(options.ProxyLog, sizeof options.ProxyLog, "user");
        std::snprintf(options.ProxyPwd, sizeof options.ProxyPwd, "pw");
        gEvents.clear();
        QuarInetHttpRequestWinSockImpl socketRequest(options, &Record, nullptr);
        if (c.changeRecordAfterwards) {
            options.Proxy = 1;
            options.ProxyPort = 1;
        }
        EXPECT_EQ(~uintptr_t{0}, socketRequest.SocketHandle);
        QuarInetHttpRequest& request = socketRequest;
        const char* host = c.proxy != 0 ? "name.invalid" : "127.0.0.1";
        const uint32_t port = c.proxy != 0 ? 8080 : server.port();
        char* headers = nullptr;
        char* body = nullptr;
        uint32_t headersLength = 0, bodyLength = 0, result = 0xDEAD;
        QuarInetThread worker =
            request.OpenUrl(host, port, "GET", "/file.txt", nullptr, 0, nullptr, 0, &headers,
                            &headersLength, &body, &bodyLength, &result);
        ASSERT_NE(nullptr, worker);
        ASSERT_EQ(QUARINET_WAIT_OBJECT_0, QuarInetWaitForThread(worker, 10000));
        QuarInetCloseThread(worker);
        EXPECT_EQ(0u, result) << QuarInetGetErrorDescription(result);
        EXPECT_EQ("bytes\n", std::string(body != nullptr ? body : "", bodyLength));
        EXPECT_EQ("HTTP/1.0 200 OK\r\n", std::string(headers, 17));
        QuarInetFree(headers);
        QuarInetFree(body);
        const std::vector<std::string> requests = server.Requests();
        ASSERT_EQ(1u, requests.size());
        EXPECT_EQ(0u, requests[0].rfind(c.requestStart, 0)) << requests[0];
        ASSERT_FALSE(gEvents.empty());
        EXPECT_EQ(uint32_t{QUARINET_STATUS_HANDLE_CREATED}, gEvents.front());
        EXPECT_EQ(uint32_t{QUARINET_STATUS_HANDLE_CLOSING}, gEvents.back());
        EXPECT_EQ(~uintptr_t{0}, socketRequest.SocketHandle);
    }
}

}  // namespace
