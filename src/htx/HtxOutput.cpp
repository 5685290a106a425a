#include "htx/HtxOutput.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

HtxOutput::HtxOutput(const HtxWriter* writer) : writer_(writer && *writer ? writer : nullptr) {
    buffer_.reserve(kFlushSize);
}

void HtxOutput::Write(std::string_view text) {
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
    if (writer_) {
        (*writer_)(bytes, count);
        return;
    }
    // Straight to standard output, after what stdio holds: a page goes to the web server in
    // one write instead of stdio's pieces, each of which would wake the server to read it.
    // A failed write means the web server has gone; the page cannot be delivered anyway, and
    // the run ends normally.
    std::fflush(stdout);
    while (count > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes, count);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        bytes += n;
        count -= static_cast<std::size_t>(n);
    }
}
