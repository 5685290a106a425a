#include "inet/ResponseSink.h"

#include <cstring>
#include <new>

#include "inet/HeaderLimits.h"
#include "inet/HeaderSearch.h"

namespace inet {

namespace {

bool IsGzipEncoded(const char* headers) {
    char encoding[64];
    if (!QuarInetGetHeaderValue(headers, "Content-Encoding:", encoding, sizeof encoding)) {
        return false;
    }
    return StartsWithNoCase(encoding, "gzip") || StartsWithNoCase(encoding, "x-gzip");
}

uint32_t Clamp32(uint64_t n) {
    return n > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(n);
}

}  // namespace

ResponseSink::ResponseSink(const GrowthRule& rule, size_t limit, const QuarInetBodySink* caller,
                           const ResponseContext& context)
    : block_(caller != nullptr ? kStreamGrowth : rule, caller != nullptr ? SIZE_MAX : limit),
      caller_(caller),
      context_(context) {}

bool ResponseSink::Start() {
    return block_.Start();
}

uint32_t ResponseSink::Commit(size_t n) {
    const size_t before = block_.Count();
    block_.Commit(n);
    if (!HeadersDone()) {
        // The blank line may have begun in the bytes before.
        const size_t from = before < 3 ? 0 : before - 3;
        const char* blank = FindBytes(block_.Data() + from, block_.Count() - from, "\r\n\r\n", 4);
        if (blank != nullptr) {
            return EndHeaders(static_cast<size_t>(blank - block_.Data()) + 4);
        }
        return block_.Count() > kMaxHeaderBlock ? uint32_t{QUARINET_ERROR_NO_HEADER_END} : 0u;
    }
    bodyBytes_ += n;
    if (verdict_.follow) {
        block_.Clear();  // a redirect's own page is of no use
        return 0;
    }
    if (caller_ == nullptr) {
        return 0;
    }
    const uint32_t rc = PassOn(block_.Data(), block_.Count());
    block_.Clear();
    return rc;
}

uint32_t ResponseSink::EndHeaders(size_t length) {
    HeapPtr<char> headers = block_.TakeFront(length);
    if (headers == nullptr) {
        return QUARINET_ERROR_NOT_ENOUGH_MEMORY;
    }
    headers_ = std::move(headers);
    headersLength_ = length;
    bodyBytes_ = block_.Count();
    if (const uint32_t rc = Judge()) {
        return rc;
    }
    if (verdict_.follow) {
        block_.Clear();
        return 0;
    }
    if (caller_ == nullptr || block_.Count() == 0) {
        return 0;
    }
    const uint32_t rc = PassOn(block_.Data(), block_.Count());
    block_.Clear();
    return rc;
}

uint32_t ResponseSink::TakeHeaders(HeapPtr<char> headers, size_t length) {
    headers_ = std::move(headers);
    headersLength_ = length;
    return Judge();
}

uint32_t ResponseSink::Judge() {
    // A NUL would end the header text the caller reads before its end: judged as unreadable.
    const bool whole = std::memchr(headers_.get(), '\0', headersLength_) == nullptr;
    verdict_ = JudgeResponse(whole ? headers_.get() : "", context_);
    declared_ = DeclaredLength(headers_.get());
    passed_ = 0;
    if (caller_ == nullptr || verdict_.follow) {
        return 0;
    }
    if (verdict_.decode && IsGzipEncoded(headers_.get())) {
        // The caller gets decoded bytes: the lines about the encoded ones go.
        try {
            announcedHeaders_.assign(headers_.get(), headersLength_);
        } catch (const std::bad_alloc&) {
            return QUARINET_ERROR_NOT_ENOUGH_MEMORY;
        }
        uint32_t length = static_cast<uint32_t>(headersLength_);
        while (QuarInetRemoveHeader(headers_.get(), length, "Content-Encoding:") != nullptr) {
        }
        while (QuarInetRemoveHeader(headers_.get(), length, "Content-Length:") != nullptr) {
        }
        headersLength_ = length;
        gzip_.reset(new (std::nothrow) GzipStream(&ResponseSink::ToCaller, this));
        if (gzip_ == nullptr) {
            return QUARINET_ERROR_NOT_ENOUGH_MEMORY;
        }
    }
    if (caller_->Headers == nullptr) {
        return 0;
    }
    return caller_->Headers(caller_->Context, headers_.get(),
                            static_cast<uint32_t>(headersLength_));
}

uint32_t ResponseSink::ToCaller(void* self, const char* bytes, size_t size) {
    const QuarInetBodySink& caller = *static_cast<ResponseSink*>(self)->caller_;
    if (caller.Body == nullptr) {
        return 0;  // a caller that wants the headers only
    }
    while (size > 0) {
        const uint32_t piece = size > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(size);
        if (const uint32_t rc = caller.Body(caller.Context, bytes, piece)) {
            return rc;
        }
        bytes += piece;
        size -= piece;
    }
    return 0;
}

uint32_t ResponseSink::PassOn(const char* bytes, size_t size) {
    // Bytes past the length the headers give are not the body's.
    if (declared_) {
        const uint64_t room = *declared_ > passed_ ? *declared_ - passed_ : 0;
        size = size > room ? static_cast<size_t>(room) : size;
    }
    passed_ += size;
    if (size == 0) {
        return 0;
    }
    if (gzip_ != nullptr) {
        return gzip_->Feed(bytes, size);
    }
    return ToCaller(this, bytes, size);
}

uint32_t ResponseSink::Finish(uint32_t provisional, char*& headers, uint32_t& headersLength,
                              char*& body, uint32_t& bodyLength) {
    if (gzip_ != nullptr) {
        if (const uint32_t rc = gzip_->Finish()) {
            HandOver(headers, headersLength, body, bodyLength);
            return rc;
        }
    }
    const char* announced = announcedHeaders_.empty() ? headers_.get() : announcedHeaders_.c_str();
    uint32_t result = ReceiveResult(verdict_, announced, bodyBytes_, provisional);
    if (gzip_ != nullptr && gzip_->Damaged() && result == 0) {
        result = QUARINET_ERROR_CONTENT_DECODING;
    }
    const bool decode = verdict_.decode && caller_ == nullptr;
    HandOver(headers, headersLength, body, bodyLength);
    if (decode) {
        bool stopped = false;
        UnpackContent(headers, headersLength, body, bodyLength, stopped);
        if (stopped && result == 0) {
            result = QUARINET_ERROR_CONTENT_DECODING;
        }
    }
    return result;
}

void ResponseSink::HandOver(char*& headers, uint32_t& headersLength, char*& body,
                            uint32_t& bodyLength) {
    headersLength = static_cast<uint32_t>(headersLength_);
    headers = headers_.release();
    headersLength_ = 0;
    if (caller_ != nullptr) {
        body = nullptr;
        bodyLength = 0;
        return;
    }
    // Bytes past the length the headers give are not the body's.
    size_t count = block_.Count();
    if (const std::optional<uint64_t> declared = DeclaredLength(headers)) {
        count = *declared < count ? static_cast<size_t>(*declared) : count;
    }
    bodyLength = Clamp32(count);
    body = block_.Release().release();
    if (body != nullptr) {
        body[count] = '\0';
    }
}

}  // namespace inet
