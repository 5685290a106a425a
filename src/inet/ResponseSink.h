// The one place both transports put a response into as they read it: the header block, judged
// by the shared response rules, then the body's bytes, which are either kept whole for Receive
// (decoded at the end) or handed on to the caller's body sink block by block (gzip decoded on
// the way). The transports only read bytes into its room.
#pragma once

#include <cstddef>
#include <cstdint>

#include <memory>
#include <optional>
#include <string>

#include "QuarInet.h"
#include "inet/GrowBlock.h"
#include "inet/GzipStream.h"
#include "inet/ResponseRules.h"

namespace inet {

class ResponseSink {
  public:
    // A whole body grows by `rule` up to `limit` bytes (NUL included); with a non-null `caller`
    // the body goes there instead and only one read's bytes are held at a time.
    // `context` is the request the response answers.
    ResponseSink(const GrowthRule& rule, size_t limit, const QuarInetBodySink* caller,
                 const ResponseContext& context);
    ResponseSink(const ResponseSink&) = delete;
    ResponseSink& operator=(const ResponseSink&) = delete;

    // Allocates the first room; false when memory runs out.
    bool Start();
    // Room for `more` bytes after those held (growing by the rule); false when memory or the
    // limit refuse it.
    bool Prepare(size_t more) { return block_.Prepare(more); }
    char* Room() { return block_.Room(); }
    size_t RoomSize() const { return block_.RoomSize(); }
    // Takes `n` bytes just read into Room(). Until the header block's blank line has come they
    // are held (and the block taken out when it has); body bytes are kept, dropped (a
    // redirect's) or passed on. 0, or the code that ends the reading: a header block longer
    // than kMaxHeaderBlock ends it with QUARINET_ERROR_NO_HEADER_END.
    uint32_t Commit(size_t n);

    bool HeadersDone() const { return headers_ != nullptr; }
    // The header block, read elsewhere (`length` bytes and a NUL), judged as one that came
    // through Commit. 0 or the code that ends the reading.
    uint32_t TakeHeaders(HeapPtr<char> headers, size_t length);
    const ResponseVerdict& Verdict() const { return verdict_; }
    // The body's bytes as they came (before decoding).
    uint64_t BodyBytes() const { return bodyBytes_; }

    // The reading ended with `provisional` (0: the server closed): hands the header block and
    // the whole body (decoded as the verdict says) to the caller, and answers Receive's result.
    uint32_t Finish(uint32_t provisional, char*& headers, uint32_t& headersLength, char*& body,
                    uint32_t& bodyLength);
    // The reading failed: hands over what came, as it came.
    void HandOver(char*& headers, uint32_t& headersLength, char*& body, uint32_t& bodyLength);

  private:
    // The first `length` bytes held are the header block: takes it out and judges the response;
    // the bytes after it are the body's first.
    uint32_t EndHeaders(size_t length);
    uint32_t Judge();
    uint32_t PassOn(const char* bytes, size_t size);
    static uint32_t ToCaller(void* self, const char* bytes, size_t size);

    GrowBlock block_;
    const QuarInetBodySink* caller_;
    ResponseContext context_;
    HeapPtr<char> headers_;
    size_t headersLength_ = 0;
    ResponseVerdict verdict_;
    // The header block as the server sent it, when the caller gets it without the lines about
    // the encoded body: the body is still judged by the length the server announced.
    std::string announcedHeaders_;
    uint64_t bodyBytes_ = 0;
    // The length the server announced for the body, and the bytes handed on so far: a streamed
    // body ends there, as a held one does.
    std::optional<uint64_t> declared_;
    uint64_t passed_ = 0;
    std::unique_ptr<GzipStream> gzip_;
};

}  // namespace inet
