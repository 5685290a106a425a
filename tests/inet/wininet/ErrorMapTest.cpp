// libcurl's results as the platform's numbers, and a text for every number the layer reports.
#include <gtest/gtest.h>

#include "inet/ErrorTable.h"
#include "inet/wininet/ErrorMap.h"
#include "inet/wininet/WinInetApi.h"

namespace {

using namespace wininet;

struct Case {
    CURLcode code;
    long verifyResult;  // OpenSSL's X509_V_ERR number
    uint32_t expected;
};

const Case kCases[] = {
    {CURLE_OK, 0, 0},
    {CURLE_UNSUPPORTED_PROTOCOL, 0, ERROR_INTERNET_UNRECOGNIZED_SCHEME},
    {CURLE_URL_MALFORMAT, 0, ERROR_INTERNET_INVALID_URL},
    {CURLE_COULDNT_RESOLVE_HOST, 0, ERROR_INTERNET_NAME_NOT_RESOLVED},
    {CURLE_COULDNT_RESOLVE_PROXY, 0, ERROR_INTERNET_PROXY_SERVER_UNREACHABLE},
    {CURLE_COULDNT_CONNECT, 0, ERROR_INTERNET_CANNOT_CONNECT},
    {CURLE_OPERATION_TIMEDOUT, 0, ERROR_INTERNET_TIMEOUT},
    {CURLE_ABORTED_BY_CALLBACK, 0, ERROR_INTERNET_OPERATION_CANCELLED},
    {CURLE_TOO_MANY_REDIRECTS, 0, ERROR_HTTP_REDIRECT_FAILED},
    // Certificate failures, told apart by the verification result.
    {CURLE_PEER_FAILED_VERIFICATION, 18, ERROR_INTERNET_INVALID_CA},             // self-signed
    {CURLE_PEER_FAILED_VERIFICATION, 20, ERROR_INTERNET_INVALID_CA},             // unknown issuer
    {CURLE_PEER_FAILED_VERIFICATION, 10, ERROR_INTERNET_SEC_CERT_DATE_INVALID},  // expired
    {CURLE_PEER_FAILED_VERIFICATION, 9, ERROR_INTERNET_SEC_CERT_DATE_INVALID},   // not yet
    {CURLE_PEER_FAILED_VERIFICATION, 23, ERROR_INTERNET_SEC_CERT_REVOKED},
    {CURLE_PEER_FAILED_VERIFICATION, 62, ERROR_INTERNET_SEC_CERT_CN_INVALID},  // host name
    {CURLE_PEER_FAILED_VERIFICATION, 64, ERROR_INTERNET_SEC_CERT_CN_INVALID},  // IP address
    {CURLE_PEER_FAILED_VERIFICATION, 0, ERROR_INTERNET_SEC_CERT_CN_INVALID},   // libcurl's own
    {CURLE_PEER_FAILED_VERIFICATION, 1, ERROR_INTERNET_SEC_CERT_CN_INVALID},   // name check
    {CURLE_SSL_ISSUER_ERROR, 0, ERROR_INTERNET_INVALID_CA},
    {CURLE_SSL_PINNEDPUBKEYNOTMATCH, 0, ERROR_INTERNET_SEC_INVALID_CERT},
    {CURLE_SSL_CONNECT_ERROR, 0, ERROR_INTERNET_SECURITY_CHANNEL_ERROR},
    {CURLE_SSL_CACERT_BADFILE, 0, ERROR_INTERNET_SECURITY_CHANNEL_ERROR},
    {CURLE_WEIRD_SERVER_REPLY, 0, ERROR_HTTP_INVALID_SERVER_RESPONSE},
    {CURLE_GOT_NOTHING, 0, ERROR_HTTP_INVALID_SERVER_RESPONSE},
    {CURLE_RECV_ERROR, 0, ERROR_INTERNET_CONNECTION_RESET},
    {CURLE_SEND_ERROR, 0, ERROR_INTERNET_CONNECTION_RESET},
    {CURLE_PARTIAL_FILE, 0, ERROR_INTERNET_CONNECTION_ABORTED},
    {CURLE_LOGIN_DENIED, 0, ERROR_INTERNET_LOGIN_FAILURE},
    {CURLE_OUT_OF_MEMORY, 0, ERROR_NOT_ENOUGH_MEMORY},
    {CURLE_FAILED_INIT, 0, ERROR_HTTP_INVALID_SERVER_RESPONSE},
    {CURLE_BAD_FUNCTION_ARGUMENT, 0, ERROR_HTTP_INVALID_SERVER_RESPONSE},
    {CURLE_BAD_CONTENT_ENCODING, 0, ERROR_HTTP_INVALID_SERVER_RESPONSE},
};

TEST(WinInetErrorMap, CurlResultsBecomeThePlatformNumbers) {
    for (const Case& c : kCases) {
        EXPECT_EQ(ErrorFromCurl(c.code, c.verifyResult), c.expected)
            << curl_easy_strerror(c.code) << " (verify " << c.verifyResult << ")";
    }
}

// A caller shows the number's text: each number the map gives must have one in the library's
// table (the Windows numbers 0 and 8 have system texts instead).
TEST(WinInetErrorMap, EveryInternetNumberHasALibraryText) {
    for (int code = CURLE_OK; code < CURL_LAST; ++code) {
        for (long verify : {0L, 9L, 18L, 23L, 62L}) {
            const uint32_t error = ErrorFromCurl(static_cast<CURLcode>(code), verify);
            if (error >= 12000) {
                EXPECT_NE(inet::FindErrorText(error), nullptr)
                    << "curl " << code << " gives " << error;
            }
            // 12004 is what the client library reports for a missing transport.
            EXPECT_NE(ERROR_INTERNET_INTERNAL_ERROR, error) << "curl " << code;
        }
    }
}

}  // namespace
