#include "inet/wininet/ErrorMap.h"

#include "inet/wininet/WinInetApi.h"

namespace wininet {

namespace {

// OpenSSL's verification results that have a number of their own.
constexpr long kVerified = 0;
constexpr long kUnspecified = 1;
constexpr long kCertNotYetValid = 9;
constexpr long kCertHasExpired = 10;
constexpr long kCertRevoked = 23;
constexpr long kHostnameMismatch = 62;
constexpr long kIpAddressMismatch = 64;

uint32_t CertificateError(long verifyResult) {
    switch (verifyResult) {
        case kVerified:
        case kUnspecified:
            // The chain verified; libcurl's own check of the name failed (it leaves 0 or 1).
            return ERROR_INTERNET_SEC_CERT_CN_INVALID;
        case kHostnameMismatch:
        case kIpAddressMismatch:
            return ERROR_INTERNET_SEC_CERT_CN_INVALID;
        case kCertNotYetValid:
        case kCertHasExpired:
            return ERROR_INTERNET_SEC_CERT_DATE_INVALID;
        case kCertRevoked:
            return ERROR_INTERNET_SEC_CERT_REVOKED;
        default:
            // Self-signed, unknown issuer, broken chain: nobody we trust vouches for it.
            return ERROR_INTERNET_INVALID_CA;
    }
}

}  // namespace

uint32_t ErrorFromCurl(CURLcode code, long verifyResult) {
    switch (code) {
        case CURLE_OK:
            return ERROR_SUCCESS;
        case CURLE_UNSUPPORTED_PROTOCOL:
            return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
        case CURLE_URL_MALFORMAT:
            return ERROR_INTERNET_INVALID_URL;
        case CURLE_COULDNT_RESOLVE_HOST:
            return ERROR_INTERNET_NAME_NOT_RESOLVED;
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_PROXY:
            return ERROR_INTERNET_PROXY_SERVER_UNREACHABLE;
        case CURLE_COULDNT_CONNECT:
            return ERROR_INTERNET_CANNOT_CONNECT;
        case CURLE_OPERATION_TIMEDOUT:
            return ERROR_INTERNET_TIMEOUT;
        case CURLE_ABORTED_BY_CALLBACK:
            return ERROR_INTERNET_OPERATION_CANCELLED;
        case CURLE_TOO_MANY_REDIRECTS:
            return ERROR_HTTP_REDIRECT_FAILED;
        case CURLE_PEER_FAILED_VERIFICATION:
            return CertificateError(verifyResult);
        case CURLE_SSL_ISSUER_ERROR:
            return ERROR_INTERNET_INVALID_CA;
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
            return ERROR_INTERNET_SEC_INVALID_CERT;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_SHUTDOWN_FAILED:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_ENGINE_INITFAILED:
        case CURLE_USE_SSL_FAILED:
            return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_GOT_NOTHING:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
        case CURLE_SEND_FAIL_REWIND:
            return ERROR_HTTP_INVALID_SERVER_RESPONSE;
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
            return ERROR_INTERNET_CONNECTION_RESET;
        case CURLE_PARTIAL_FILE:
            // The peer closed before the body it announced was complete.
            return ERROR_INTERNET_CONNECTION_ABORTED;
        case CURLE_LOGIN_DENIED:
        case CURLE_AUTH_ERROR:
            return ERROR_INTERNET_LOGIN_FAILURE;
        case CURLE_OUT_OF_MEMORY:
            return ERROR_NOT_ENOUGH_MEMORY;
        default:
            // An end that has no number of its own is told as an exchange that failed, never
            // as the "internal error" that the client library reads as its transport missing.
            return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    }
}

}  // namespace wininet
