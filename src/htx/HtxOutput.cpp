#include "htx/HtxOutput.h"

#include <cstdio>

HtxOutput::HtxOutput(const HtxWriter* writer) : writer_(writer && *writer ? writer : nullptr) {
    buffer_.reserve(kFlushSize);
}

void HtxOutput::Write(std::string_view text) {
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
    if (writer_) {
        (*writer_)(buffer_.data(), buffer_.size());
    } else {
        // A failed write to standard output means the web server has gone; the page cannot be
        // delivered anyway, and the run ends normally.
        std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
    }
    buffer_.clear();
}
