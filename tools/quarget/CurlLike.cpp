#include "CurlLike.h"

#include <cstdio>
#include <cstring>

#include "platform/PercentCoding.h"

UrlWithoutSecrets SplitUserInfo(const std::string& url) {
    UrlWithoutSecrets out;
    out.url = url.substr(0, url.find('#'));
    const size_t scheme = out.url.find("://");
    const size_t hostStart = scheme == std::string::npos ? 0 : scheme + 3;
    const size_t hostEnd = out.url.find_first_of("/?\\", hostStart);
    const size_t at =
        out.url.rfind('@', hostEnd == std::string::npos ? std::string::npos : hostEnd - 1);
    if (at != std::string::npos && at >= hostStart &&
        (hostEnd == std::string::npos || at < hostEnd)) {
        out.userInfo = PercentDecode(out.url.substr(hostStart, at - hostStart));
        out.url.erase(hostStart, at + 1 - hostStart);
    }
    return out;
}

std::string BasicAuthorizationLine(const std::string& userAndPassword) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string encoded;
    const auto* bytes = reinterpret_cast<const unsigned char*>(userAndPassword.data());
    const size_t size = userAndPassword.size();
    for (size_t i = 0; i < size; i += 3) {
        const uint32_t chunk = (uint32_t(bytes[i]) << 16) |
                               (i + 1 < size ? uint32_t(bytes[i + 1]) << 8 : 0) |
                               (i + 2 < size ? uint32_t(bytes[i + 2]) : 0);
        encoded += kAlphabet[(chunk >> 18) & 63];
        encoded += kAlphabet[(chunk >> 12) & 63];
        encoded += i + 1 < size ? kAlphabet[(chunk >> 6) & 63] : '=';
        encoded += i + 2 < size ? kAlphabet[chunk & 63] : '=';
    }
    return "Authorization: Basic " + encoded + "\r\n";
}

std::string FormatWriteOut(const std::string& format, uint32_t status) {
    static const std::string kCode = "%{http_code}";
    std::string out;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format.compare(i, kCode.size(), kCode) == 0) {
            char code[8];
            std::snprintf(code, sizeof code, "%03u", status % 1000);
            out += code;
            i += kCode.size() - 1;
        } else if (format[i] == '\\' && i + 1 < format.size() &&
                   std::strchr("nrt\\", format[i + 1]) != nullptr) {
            const char c = format[++i];
            out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : '\\';
        } else {
            out += format[i];
        }
    }
    return out;
}

uint32_t StatusOf(const char* headers) {
    char version[64];
    char reason[1024];
    uint32_t status = 0;
    if (headers == nullptr ||
        !QuarInetGetHttpStatusCode(headers, version, status, reason, sizeof reason) ||
        status > 999) {
        return 0;
    }
    return status;
}

uint32_t FailGate::OnHeaders(void* self, const char* headers, uint32_t length) {
    const FailGate& gate = *static_cast<FailGate*>(self);
    if (gate.fail_ && StatusOf(headers) >= 400) {
        return kStoppedByStatus;
    }
    return gate.inner_->Headers != nullptr
               ? gate.inner_->Headers(gate.inner_->Context, headers, length)
               : 0;
}

uint32_t FailGate::OnBody(void* self, const char* bytes, uint32_t length) {
    const FailGate& gate = *static_cast<FailGate*>(self);
    return gate.inner_->Body(gate.inner_->Context, bytes, length);
}
