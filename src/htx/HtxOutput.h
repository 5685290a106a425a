// Buffered output of one processing run, to an HtxWriter or to standard output.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "htx/HtxWriter.h"

class HtxOutput {
  public:
    // writer: null or empty means standard output, through stdio alone (the runtime gives it a
    // buffer that holds a whole page). The writer must outlive this object.
    explicit HtxOutput(const HtxWriter* writer);

    void Put(char c) {
        if (!writer_) {
            std::putc(c, stdout);
            return;
        }
        buffer_.push_back(c);
        if (buffer_.size() >= kFlushSize) {
            Flush();
        }
    }
    void Write(std::string_view text);
    void WriteDecimal(std::int32_t value);

    // Hands the bytes buffered for a writer on. Unflushed bytes are dropped on destruction, so that
    // an exception from the writer is not followed by another call to it.
    void Flush();

  private:
    // A whole page of the administration pages: one call of the writer each. Pages of memory are
    // touched only as far as output fills them.
    static constexpr std::size_t kFlushSize = 16384;

    void Hand(const char* bytes, std::size_t count);

    const HtxWriter* writer_;
    std::string buffer_;
};
