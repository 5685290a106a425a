#include "inet/ResponseRules.h"

#include <climits>
#include <cstring>
#include <string>

#include "QuarInet.h"
#include "inet/HeaderLimits.h"
#include "inet/HeaderSearch.h"
#include "inet/StrictStatusLine.h"
#include "platform/Decimal.h"

namespace inet {

namespace {

// Redirects one request follows at most; the next one ends it with
// QUARINET_ERROR_REDIRECT_LIMIT.
constexpr unsigned kMaxRedirects = 10;

// Room for a Location value; a longer one is taken as cut and not followed.
constexpr size_t kLocationRoom = 4096;

ResponseVerdict Fixed(uint32_t status, uint32_t result) {
    ResponseVerdict verdict;
    verdict.status = status;
    verdict.fixedResult = true;
    verdict.result = result;
    return verdict;
}

ResponseVerdict ReadingDecides(uint32_t status) {
    ResponseVerdict verdict;
    verdict.status = status;
    return verdict;
}

ResponseVerdict Redirect(const char* headers, uint32_t status, const ResponseContext& context) {
    char location[kLocationRoom];
    // A redirect that names no place to go (no Location, or an empty one) is not a success
    // either.
    if (!QuarInetGetLocation(headers, location, sizeof location) || location[0] == '\0') {
        return Fixed(status, QUARINET_ERROR_STATUS);
    }
    // A Location that filled the room was cut; where it leads is unknown.
    if (std::strlen(location) >= sizeof location - 1) {
        return Fixed(status, QUARINET_ERROR_STATUS);
    }
    const std::optional<HttpTarget> target = ResolveRedirect(context.request, location);
    if (!target) {
        return Fixed(status, QUARINET_ERROR_STATUS);
    }
    if (context.redirects >= kMaxRedirects) {
        return Fixed(status, QUARINET_ERROR_REDIRECT_LIMIT);
    }
    ResponseVerdict verdict;
    verdict.status = status;
    verdict.follow = true;
    verdict.target = *target;
    return verdict;
}

// True when the header block gives a Content-Length beyond the body that arrived.
bool BodyCutShort(const char* headers, uint64_t bodyLength) {
    const char* line = FindHeaderLine(headers, "Content-Length:");
    if (line == nullptr) {
        return false;
    }
    const DecimalScan length = ScanDecimal(line + std::strlen("Content-Length:"),
                                           DecimalSyntax::kSpaceSignedDigits, INT64_MIN, INT64_MAX);
    return length.digits > 0 && length.value > 0 && uint64_t(length.value) > bodyLength;
}

// The value of the header line at `line`, without the blanks around it.
std::string LineValue(const char* line) {
    const char* value = std::strchr(line, ':') + 1;
    const size_t end = std::strcspn(value, "\r\n");
    size_t from = 0, to = end;
    while (from < to && (value[from] == ' ' || value[from] == '\t')) {
        ++from;
    }
    while (to > from && (value[to - 1] == ' ' || value[to - 1] == '\t')) {
        --to;
    }
    return std::string(value + from, to - from);
}

// Content-Length lines that give different values: which one frames the body is a guess (each
// transport would guess its own), and a wrong guess hands on another message's bytes as this
// one's body, or a cut body as whole.
bool ConflictingLengths(const char* headers) {
    const char* first = FindHeaderLine(headers, "Content-Length:");
    if (first == nullptr) {
        return false;
    }
    const std::string value = LineValue(first);
    for (const char* end = std::strchr(first, '\n'); end != nullptr;
         end = std::strchr(end + 1, '\n')) {
        const char* line = FindHeaderLine(end + 1, "Content-Length:");
        if (line == nullptr) {
            return false;
        }
        if (LineValue(line) != value) {
            return true;
        }
        end = line;
    }
    return false;
}

}  // namespace

std::optional<uint64_t> DeclaredLength(const char* headers) {
    const char* line = FindHeaderLine(headers, "Content-Length:");
    if (line == nullptr) {
        return std::nullopt;
    }
    const char* value = line + std::strlen("Content-Length:");
    const DecimalScan length =
        ScanDecimal(value, DecimalSyntax::kSpaceSignedDigits, INT64_MIN, INT64_MAX);
    // Only digits, to the end of the line: "-1", "12abc" or a second number is no length.
    const size_t rest = std::strspn(value + length.end, " \t");
    const char after = value[length.end + rest];
    if (length.digits == 0 || length.value < 0 || (after != '\r' && after != '\n')) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(length.value);
}

ResponseVerdict JudgeResponse(const char* headers, const ResponseContext& context) {
    uint32_t status = 0;
    // An answer that does not begin like HTTP is not taken for one, whatever follows.
    if (!ReadStrictStatusLine(headers, status)) {
        return Fixed(0, QUARINET_ERROR_INVALID_RESPONSE);
    }
    if (ConflictingLengths(headers)) {
        return Fixed(status, QUARINET_ERROR_INVALID_RESPONSE);
    }
    if (context.transport == Transport::kPlatformLibrary) {
        if (status != 200) {
            return Fixed(status, QUARINET_ERROR_STATUS);
        }
        ResponseVerdict verdict = ReadingDecides(status);
        verdict.decode = true;
        // libcurl reads to the end of the connection when the length is beyond its range, and
        // calls what came whole: the length the headers give still tells a cut body.
        verdict.checksLength = !context.head;
        return verdict;
    }
    // An HTTP/1.0 client is never sent a transfer coding (chunks, ...); the body such a
    // server frames is not the one it meant.
    if (FindHeaderLine(headers, "Transfer-Encoding:") != nullptr) {
        return Fixed(status, QUARINET_ERROR_INVALID_RESPONSE);
    }
    switch (status) {
        case 200: {
            ResponseVerdict verdict = ReadingDecides(status);
            verdict.decode = true;
            // Reading to the end of the connection cannot tell a whole body from one the
            // server or the network broke off; the length the headers give can.
            verdict.checksLength = !context.head;
            return verdict;
        }
        case 301:
        case 302:
        case 305:
        case 307:
            return Redirect(headers, status, context);
        case 401:
        case 407:
            return ReadingDecides(status);
        default:
            return Fixed(status, QUARINET_ERROR_STATUS);
    }
}

uint32_t ReceiveResult(const ResponseVerdict& verdict, const char* headers, uint64_t bodyLength,
                       uint32_t provisional) {
    if (verdict.fixedResult) {
        return verdict.result;
    }
    if (verdict.checksLength && provisional == 0 && BodyCutShort(headers, bodyLength)) {
        return QUARINET_ERROR_CUT_SHORT;
    }
    return provisional;
}

}  // namespace inet
