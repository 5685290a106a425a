// Decodes a gzip body piece by piece as it arrives, so that a body of any size passes through in
// bounded memory. Concatenated members are read one after another; bytes that do not start like
// gzip pass through unchanged; decoding stops quietly at damage (what came before it stays
// delivered) and at anything but another member after a member.
#pragma once

#include <cstddef>
#include <cstdint>

#include <memory>

namespace inet {

class GzipStream {
  public:
    // Receives each decoded piece; 0 to go on, anything else stops and is Feed's answer.
    using Output = uint32_t (*)(void* context, const char* bytes, size_t size);

    GzipStream(Output output, void* context);
    ~GzipStream();
    GzipStream(const GzipStream&) = delete;
    GzipStream& operator=(const GzipStream&) = delete;

    // Decodes the next `size` bytes of the body: 0, the output's own answer, or
    // QUARINET_ERROR_NOT_ENOUGH_MEMORY.
    uint32_t Feed(const char* bytes, size_t size);
    // Ends the body: hands on a lone first byte that never became a gzip magic.
    uint32_t Finish();
    // True once decoding stopped at bytes that are not a whole gzip member.
    bool Damaged() const { return damaged_; }
    // True once the first member's header was read whole.
    bool HeaderRead() const;

  private:
    enum class State { kSniff, kPass, kInflate, kDone };
    uint32_t Inflate(const char* bytes, size_t size);
    uint32_t Sniffed(const char* bytes, size_t size);

    struct Zlib;
    std::unique_ptr<Zlib> zlib_;
    std::unique_ptr<char[]> out_;
    Output output_;
    void* context_;
    State state_ = State::kSniff;
    bool firstMember_ = true;
    bool damaged_ = false;
    char held_ = 0;  // a first byte that matched the magic, awaiting the second
    bool holding_ = false;
};

}  // namespace inet
