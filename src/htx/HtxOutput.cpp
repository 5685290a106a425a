#include "htx/HtxOutput.h"

#include <cstdio>

HtxOutput::HtxOutput(const HtxWriter* writer) : writer_(writer && *writer ? writer : nullptr) {
    if (writer_) {
        buffer_.reserve(kFlushSize);
    }
}

void HtxOutput::Write(std::string_view text) {
    if (!writer_) {
        // Straight into stdio's buffer, the only copy of the page. A failed write means the
        // web server has gone; the page cannot be delivered anyway, and the run ends normally.
        std::fwrite(text.data(), 1, text.size(), stdout);
        return;
    }
    // The buffer never grows past its first size: a piece that would not fit goes after what
    // is buffered, and a piece as large as the buffer goes on without it.
    if (buffer_.size() + text.size() > kFlushSize) {
        Flush();
        if (text.size() >= kFlushSize) {
            Hand(text.data(), text.size());
            return;
        }
    }
    buffer_.append(text.data(), text.size());
    if (buffer_.size() >= kFlushSize) {
        Flush();
    }
}

void HtxOutput::WriteDecimal(std::int32_t value) {
    char digits[16];
    const int n = std::snprintf(digits, sizeof digits, "%d", static_cast<int>(value));
    Write(std::string_view(digits, static_cast<std::size_t>(n)));
}

void HtxOutput::Flush() {
    if (buffer_.empty()) {
        return;
    }
    Hand(buffer_.data(), buffer_.size());
    buffer_.clear();
}

void HtxOutput::Hand(const char* bytes, std::size_t count) {
    (*writer_)(bytes, count);
}
