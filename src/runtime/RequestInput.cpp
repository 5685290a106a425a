#include "runtime/RequestInput.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/Decimal.h"

ClientAddresses ReadClientAddresses() {
    ClientAddresses addresses;
    const char* remoteAddr = std::getenv("REMOTE_ADDR");
    if (const char* forwarded = std::getenv("HTTP_X_FORWARDED_FOR")) {
        // Any sender may put anything here: it is logged and compared, so it is kept short.
        addresses.client.assign(forwarded, ::strnlen(forwarded, kMaxForwardedLength));
        if (remoteAddr) {
            addresses.proxy = remoteAddr;
        }
    } else if (remoteAddr) {
        addresses.client = remoteAddr;
        if (const char* host = std::getenv("REMOTE_HOST")) {
            addresses.remoteHost = host;
        }
    }
    return addresses;
}

RequestName SplitQueryString(const char* query, Env& env) {
    RequestName request;
    if (query == nullptr) {
        return request;
    }
    request.name = query;
    std::size_t cut = request.name.find('|');
    std::size_t separatorLength = 1;
    if (cut == std::string::npos) {
        cut = request.name.find("%7C");
        separatorLength = 3;
    }
    if (cut != std::string::npos) {
        request.token = request.name.substr(cut + separatorLength);
        request.name.erase(cut);
    }
    if (request.token.empty()) {
        request.token = GenerateRequestToken(env);
    }
    return request;
}

std::string GenerateRequestToken(Env& env) {
    unsigned char bytes[16];
    if (!env.RandomBytes(bytes, sizeof bytes)) {
        // What a failed source left in the buffer is not to be relied on.
        std::memset(bytes, 0, sizeof bytes);
        const unsigned long mix =
            static_cast<unsigned long>(env.Now()) ^ (static_cast<unsigned long>(::getpid()) << 20);
        std::memcpy(bytes, &mix, sizeof mix);
    }
    static const char kHex[] = "0123456789abcdef";
    std::string token;
    for (unsigned char b : bytes) {
        token += kHex[b >> 4];
        token += kHex[b & 0x0F];
    }
    return token;
}

std::optional<std::size_t> ParseContentLength(const char* text) {
    const DecimalScan length = ScanDecimal(text != nullptr ? text : "", DecimalSyntax::kDigits, 0,
                                           static_cast<std::int64_t>(kMaxContentLength));
    if (length.outOfRange) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(length.value);
}

std::string ReadBody(std::FILE* source, std::size_t length) {
    std::string body(length, '\0');
    std::size_t got = 0;
    while (got < length) {
        const std::size_t n = std::fread(&body[got], 1, length - got, source);
        if (n == 0) {
            break;
        }
        got += n;
    }
    body.resize(got);
    std::fclose(source);
    return body;
}

RequestBody ReadRequestBody(const char* lengthText, const char* path) {
    RequestBody body;
    if (lengthText == nullptr) {
        return body;
    }
    const std::optional<std::size_t> length = ParseContentLength(lengthText);
    if (!length) {
        body.outcome = RequestBody::Outcome::kTooLong;
        return body;
    }
    std::FILE* source = path ? std::fopen(path, "rb") : stdin;
    if (source == nullptr) {
        body.outcome = RequestBody::Outcome::kCannotOpen;
        body.error = errno;
        return body;
    }
    body.outcome = RequestBody::Outcome::kRead;
    body.bytes = ReadBody(source, *length);
    return body;
}
