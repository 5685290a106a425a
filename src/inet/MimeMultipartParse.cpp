#include <cstring>

#include "QuarInet.h"
#include "inet/HeaderSearch.h"
#include "inet/InetHeap.h"
#include "inet/MimeBoundary.h"

namespace {

constexpr size_t kNotFound = static_cast<size_t>(-1);

// The body and its delimiter "--boundary".
struct Delimited {
    const char* body;
    size_t length;
    char delimiter[inet::kContentTypeRoom + 2];
    size_t delimiterLength;

    // The first delimiter at or after `from` that begins a line: at the start of the body or
    // right after a CR LF.
    size_t FindDelimiter(size_t from) const {
        if (from == 0 && length >= delimiterLength &&
            std::memcmp(body, delimiter, delimiterLength) == 0) {
            return 0;
        }
        const size_t searchFrom = from >= 2 ? from - 2 : 0;
        char pattern[sizeof delimiter + 2] = "\r\n";
        std::memcpy(pattern + 2, delimiter, delimiterLength);
        const char* found =
            inet::FindBytes(body + searchFrom, length - searchFrom, pattern, delimiterLength + 2);
        return found != nullptr ? static_cast<size_t>(found - body) + 2 : kNotFound;
    }

    // The first `pattern` in [from, to), or kNotFound.
    size_t Find(size_t from, size_t to, const char* pattern) const {
        if (from >= to) {
            return kNotFound;
        }
        const char* found = inet::FindBytes(body + from, to - from, pattern, std::strlen(pattern));
        return found != nullptr ? static_cast<size_t>(found - body) : kNotFound;
    }

    bool IsClosing(size_t at) const {
        const size_t end = at + delimiterLength;
        return end + 2 <= length && body[end] == '-' && body[end + 1] == '-';
    }
};

// The parts array, grown in the library's heap.
class PartList {
  public:
    bool Add(const mime_part& part) {
        if (count_ == capacity_) {
            const size_t capacity = capacity_ == 0 ? 8 : capacity_ * 2;
            void* grown = inet::HeapReallocate(parts_.get(), capacity * sizeof(mime_part));
            if (grown == nullptr) {
                return false;
            }
            parts_.release();
            parts_.reset(static_cast<mime_part*>(grown));
            capacity_ = capacity;
        }
        parts_.get()[count_++] = part;
        return true;
    }
    uint32_t Count() const { return static_cast<uint32_t>(count_); }
    mime_part* Release() { return parts_.release(); }

  private:
    inet::HeapPtr<mime_part> parts_;
    size_t count_ = 0;
    size_t capacity_ = 0;
};

}  // namespace

bool IsMimeMultipart(const char* headers) {
    char contentType[inet::kContentTypeRoom];
    return QuarInetGetHeaderValue(headers, "Content-type:", contentType, sizeof contentType) &&
           inet::StartsWithNoCase(contentType, "multipart/");
}

// Delimiters are recognised at the start of a line only, and a part's content ends before the
// line break that opens the next delimiter; an empty content shares that line break with the
// blank line after the part's headers.
uint32_t ParseMimeMultipart(const char* headers, const char* body, uint32_t bodyLength,
                            mime_part*& partsOut) {
    char contentType[inet::kContentTypeRoom];
    if (body == nullptr ||
        !QuarInetGetHeaderValue(headers, "Content-type:", contentType, sizeof contentType) ||
        !inet::StartsWithNoCase(contentType, "multipart/")) {
        return 0;
    }
    Delimited text{body, bodyLength, "--", 0};
    if (!inet::ReadBoundaryParameter(contentType, text.delimiter + 2, sizeof text.delimiter - 2)) {
        return 0;
    }
    text.delimiterLength = std::strlen(text.delimiter);

    PartList parts;
    size_t at = text.FindDelimiter(0);
    while (at != kNotFound) {
        if (text.IsClosing(at)) {
            partsOut = parts.Count() > 0 ? parts.Release() : nullptr;
            return parts.Count();
        }
        const size_t lineEnd = text.Find(at + text.delimiterLength, text.length, "\r\n");
        if (lineEnd == kNotFound) {
            return 0;
        }
        const size_t headerStart = lineEnd + 2;
        const size_t next = text.FindDelimiter(headerStart);
        if (next == kNotFound) {
            return 0;
        }
        // The blank line must come before the next delimiter's line.
        const size_t blank = text.Find(at, next, "\r\n\r\n");
        if (blank == kNotFound || blank + 4 > next) {
            return 0;
        }
        const size_t contentStart = blank + 4;
        mime_part part;
        part.headers = body + headerStart;
        part.headers_length = static_cast<uint32_t>(blank > headerStart ? blank - headerStart : 0);
        part.data = body + contentStart;
        part.data_length =
            static_cast<uint32_t>(next >= contentStart + 2 ? next - 2 - contentStart : 0);
        if (!parts.Add(part)) {
            return 0;
        }
        at = next;
    }
    return 0;
}
