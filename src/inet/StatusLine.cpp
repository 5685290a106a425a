#include <climits>
#include <cstring>

#include "QuarInet.h"
#include "platform/Decimal.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

}  // namespace

// Reads only the status line itself: a version word, a number and the rest of the line as the
// reason, so that a status line without a reason phrase neither fails nor takes the next header
// line as its reason. Each output is bounded by `size`.
bool QuarInetGetHttpStatusCode(const char* headers, char* version, uint32_t& code, char* reason,
                               int size) {
    if (headers == nullptr || version == nullptr || reason == nullptr || size <= 0) {
        return false;
    }
    const char* cr = std::strchr(headers, '\r');
    if (cr == nullptr || cr - headers > size) {
        return false;
    }
    const char* lineEnd = headers + strcspn(headers, "\r\n");
    const size_t room = static_cast<size_t>(size) - 1;

    const char* p = headers;
    while (p < lineEnd && IsBlank(*p)) {
        ++p;
    }
    const char* word = p;
    while (p < lineEnd && !IsBlank(*p)) {
        ++p;
    }
    size_t wordLength = static_cast<size_t>(p - word);
    if (wordLength == 0 || wordLength > room) {
        return false;
    }
    std::memcpy(version, word, wordLength);
    version[wordLength] = '\0';

    while (p < lineEnd && IsBlank(*p)) {
        ++p;
    }
    // The magnitude is held at INT_MAX on both sides.
    const DecimalScan number = ScanDecimal(std::string_view(p, static_cast<size_t>(lineEnd - p)),
                                           DecimalSyntax::kSignedDigits, -INT_MAX, INT_MAX);
    if (number.digits == 0) {
        return false;
    }
    p += number.end;
    code = static_cast<uint32_t>(static_cast<int>(number.value));

    while (p < lineEnd && IsBlank(*p)) {
        ++p;
    }
    size_t reasonLength = static_cast<size_t>(lineEnd - p);
    if (reasonLength > room) {
        reasonLength = room;
    }
    std::memcpy(reason, p, reasonLength);
    reason[reasonLength] = '\0';
    return true;
}
