// libcurl's results in the platform internet library's numbers.
#pragma once

#include <curl/curl.h>
#include <cstdint>

namespace wininet {

// The error number for `code`. `verifyResult` is the certificate check's result
// (CURLINFO_SSL_VERIFYRESULT, an OpenSSL X509_V_ERR number); it tells the certificate failures
// apart. CURLE_OK gives 0; a result without a closer number gives ERROR_INTERNET_INTERNAL_ERROR.
uint32_t ErrorFromCurl(CURLcode code, long verifyResult);

}  // namespace wininet
