#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "QuarInet.h"
#include "inet/HeaderSearch.h"
#include "inet/InetHeap.h"
#include "inet/MimeBoundary.h"
#include "inet/TickCount.h"

namespace {

// A part's data_length that asks for the length of its NUL-terminated text.
constexpr uint32_t kTextLength = 0xFFFFFFFF;

// The Content-type value carried over into the new header line is read one character shorter
// than a received one.
constexpr size_t kCarriedContentTypeRoom = inet::kContentTypeRoom - 1;
// Room for the Content-type line around that value and the boundary.
constexpr size_t kHeaderLineRoom = kCarriedContentTypeRoom + inet::kBoundaryRoom + 64;

const char* PartHeaders(const mime_part& part) {
    return part.headers != nullptr ? part.headers : "";
}

size_t PartLength(const mime_part& part) {
    if (part.data == nullptr) {
        return 0;
    }
    return part.data_length == kTextLength ? std::strlen(part.data) : part.data_length;
}

bool AnyPartContains(const mime_part* parts, uint32_t count, const char* boundary) {
    const size_t length = std::strlen(boundary);
    for (uint32_t i = 0; i < count; ++i) {
        const char* headers = PartHeaders(parts[i]);
        if (inet::FindBytes(parts[i].data, PartLength(parts[i]), boundary, length) != nullptr ||
            inet::FindBytes(headers, std::strlen(headers), boundary, length) != nullptr) {
            return true;
        }
    }
    return false;
}

// A boundary from the tick count that occurs in no part. On a clash the next try takes a later
// tick count, without waiting for the clock to move on.
void ChooseBoundary(const mime_part* parts, uint32_t count, char (&boundary)[inet::kBoundaryRoom]) {
    uint32_t tick = inet::GetTickCount();
    for (;;) {
        inet::FormatBoundary(tick, boundary);
        if (!AnyPartContains(parts, count, boundary)) {
            return;
        }
        const uint32_t now = inet::GetTickCount();
        tick = static_cast<int32_t>(now - tick) > 0 ? now : tick + 1;
    }
}

void Append(char*& at, const void* bytes, size_t length) {
    if (length > 0) {
        std::memcpy(at, bytes, length);
        at += length;
    }
}

// The body: each part as "--boundary" CR LF, its headers, CR LF, its data, CR LF; then the
// closing "--boundary--" CR LF and a NUL. The length leaves the NUL out, as every length of the
// library does: counted, it would go on the wire after the closing line, where strict multipart
// readers refuse any byte. Null when the body cannot be made.
char* BuildBody(const mime_part* parts, uint32_t count, const char* boundary, uint32_t& length) {
    const size_t boundaryLength = std::strlen(boundary);
    uint64_t total = boundaryLength + 7;
    for (uint32_t i = 0; i < count; ++i) {
        total += boundaryLength + 8 + std::strlen(PartHeaders(parts[i])) + PartLength(parts[i]);
    }
    if (total > UINT32_MAX) {
        return nullptr;
    }
    char* body = static_cast<char*>(inet::HeapAllocate(static_cast<size_t>(total)));
    if (body == nullptr) {
        return nullptr;
    }
    char* at = body;
    for (uint32_t i = 0; i < count; ++i) {
        const char* headers = PartHeaders(parts[i]);
        Append(at, "--", 2);
        Append(at, boundary, boundaryLength);
        Append(at, "\r\n", 2);
        Append(at, headers, std::strlen(headers));
        Append(at, "\r\n", 2);
        Append(at, parts[i].data, PartLength(parts[i]));
        Append(at, "\r\n", 2);
    }
    Append(at, "--", 2);
    Append(at, boundary, boundaryLength);
    Append(at, "--\r\n", 5);
    length = static_cast<uint32_t>(total - 1);
    return body;
}

// The request headers with the boundary added to their Content-type, or a multipart/form-data
// Content-type line when they have none. Null when memory runs out.
char* BuildHeaders(const char* requestHeaders, const char* boundary) {
    if (requestHeaders == nullptr) {
        requestHeaders = "";
    }
    const size_t requestLength = std::strlen(requestHeaders);
    char* block = static_cast<char*>(inet::HeapAllocate(requestLength + kHeaderLineRoom));
    if (block == nullptr) {
        return nullptr;
    }
    std::memcpy(block, requestHeaders, requestLength + 1);
    uint32_t length = static_cast<uint32_t>(requestLength);
    char value[kCarriedContentTypeRoom];
    char line[kHeaderLineRoom];
    if (QuarInetGetHeaderValue(block, "Content-type:", value, sizeof value)) {
        QuarInetRemoveHeader(block, length, "Content-type:");
        std::snprintf(line, sizeof line, "Content-type: %s; boundary=%s\r\n", value, boundary);
    } else {
        std::snprintf(line, sizeof line, "Content-type: multipart/form-data; boundary=%s\r\n",
                      boundary);
    }
    QuarInetAppendHeader(block, length, line);
    return block;
}

}  // namespace

bool ConstructMimeMultipart(char*& headersOut, char*& bodyOut, uint32_t& bodyLengthOut,
                            const char* requestHeaders, const mime_part* parts, uint32_t count) {
    headersOut = nullptr;
    bodyOut = nullptr;
    bodyLengthOut = 0;
    if (parts == nullptr) {
        count = 0;
    }
    char boundary[inet::kBoundaryRoom];
    ChooseBoundary(parts, count, boundary);
    uint32_t length = 0;
    inet::HeapPtr<char> body(BuildBody(parts, count, boundary, length));
    inet::HeapPtr<char> headers(body ? BuildHeaders(requestHeaders, boundary) : nullptr);
    if (!body || !headers) {
        return false;
    }
    headersOut = headers.release();
    bodyOut = body.release();
    bodyLengthOut = length;
    return true;
}

bool ConstructMimeMultipart(char*& headersOut, char*& bodyOut, uint32_t& bodyLengthOut,
                            const char* requestHeaders, ...) {
    va_list args;
    va_start(args, requestHeaders);
    va_list counting;
    va_copy(counting, args);
    uint32_t count = 0;
    while (va_arg(counting, const char*) != nullptr) {
        va_arg(counting, const char*);
        va_arg(counting, uint32_t);
        ++count;
    }
    va_end(counting);

    headersOut = nullptr;
    bodyOut = nullptr;
    bodyLengthOut = 0;
    inet::HeapPtr<mime_part> parts(
        static_cast<mime_part*>(inet::HeapAllocate(sizeof(mime_part) * count)));
    if (!parts) {
        va_end(args);
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        mime_part& part = parts.get()[i];
        part.headers = va_arg(args, const char*);
        part.headers_length = 0;
        part.data = va_arg(args, const char*);
        part.data_length = va_arg(args, uint32_t);
    }
    va_end(args);
    return ConstructMimeMultipart(headersOut, bodyOut, bodyLengthOut, requestHeaders, parts.get(),
                                  count);
}
