#include "inet/StrictStatusLine.h"

#include <cstring>

#include "inet/HeaderLimits.h"

namespace inet {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

bool ReadStrictStatusLine(const char* headers, uint32_t& status) {
    if (headers == nullptr) {
        return false;
    }
    const size_t lineLength = std::strcspn(headers, "\r\n");
    if (lineLength > static_cast<size_t>(kStatusLineLimit) || lineLength < 12) {
        return false;
    }
    const char* p = headers;
    if (std::strncmp(p, "HTTP/", 5) != 0 || !IsDigit(p[5]) || p[6] != '.' || !IsDigit(p[7]) ||
        p[8] != ' ' || !IsDigit(p[9]) || !IsDigit(p[10]) || !IsDigit(p[11])) {
        return false;
    }
    if (lineLength > 12 && p[12] != ' ' && p[12] != '\t') {
        return false;
    }
    status = static_cast<uint32_t>((p[9] - '0') * 100 + (p[10] - '0') * 10 + (p[11] - '0'));
    return status >= 100;
}

}  // namespace inet
