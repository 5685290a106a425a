#include "admin/LogViewerReader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Bytes asked for at a time when one line is read again for display.
constexpr std::size_t kLinePieceBytes = 4096;

// read() that retries on interruption; -1 on any other error.
ssize_t ReadSome(int fd, char* into, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, into, size);
        if (n >= 0 || errno != EINTR) {
            return n;
        }
    }
}

}  // namespace

LogLineReader::LogLineReader(int fd, std::size_t chunkBytes, std::size_t maxLineBytes)
    : fd_(fd),
      chunkBytes_(std::max(chunkBytes, maxLineBytes + 1)),
      maxLineBytes_(maxLineBytes),
      buffer_(new char[chunkBytes_]) {}

bool LogLineReader::Refill() {
    if (atEnd_) {
        return false;
    }
    if (begin_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
        base_ += begin_;
        end_ -= begin_;
        begin_ = 0;
    }
    const ssize_t n = ReadSome(fd_, buffer_.get() + end_, chunkBytes_ - end_);
    if (n <= 0) {
        atEnd_ = true;
        return false;
    }
    end_ += static_cast<std::size_t>(n);
    return true;
}

void LogLineReader::SkipRestOfLine(std::size_t from) {
    for (;;) {
        const void* lf = std::memchr(buffer_.get() + from, '\n', end_ - from);
        if (lf != nullptr) {
            begin_ = static_cast<std::size_t>(static_cast<const char*>(lf) - buffer_.get()) + 1;
            return;
        }
        // Nothing of this buffer is needed any more.
        base_ += end_;
        begin_ = end_ = from = 0;
        if (!Refill()) {
            return;
        }
    }
}

bool LogLineReader::Next(std::uint64_t& offset, std::string_view& text) {
    std::size_t searched = begin_;  // bytes before this hold no LF of the current line
    for (;;) {
        const char* start = buffer_.get() + begin_;
        const void* lf = std::memchr(buffer_.get() + searched, '\n', end_ - searched);
        if (lf != nullptr) {
            const std::size_t length =
                static_cast<std::size_t>(static_cast<const char*>(lf) - start);
            offset = base_ + begin_;
            text = std::string_view(start, std::min(length, maxLineBytes_));
            begin_ += length + 1;
            return true;
        }
        if (end_ - begin_ >= maxLineBytes_) {
            offset = base_ + begin_;
            longLine_.assign(start, maxLineBytes_);
            text = longLine_;
            SkipRestOfLine(begin_ + maxLineBytes_);
            return true;
        }
        const std::size_t unread = end_ - begin_;
        if (!Refill()) {
            if (unread == 0) {
                return false;
            }
            // The last line has no line end.
            offset = base_ + begin_;
            text = std::string_view(buffer_.get() + begin_, unread);
            begin_ = end_;
            return true;
        }
        searched = begin_ + unread;
    }
}

std::string ReadLogLineAt(int fd, std::uint64_t offset, std::size_t maxLineBytes) {
    std::string line;
    while (line.size() < maxLineBytes) {
        const std::size_t want = std::min(kLinePieceBytes, maxLineBytes - line.size());
        const std::size_t had = line.size();
        line.resize(had + want);
        ssize_t n;
        do {
            n = ::pread(fd, &line[had], want, static_cast<off_t>(offset + had));
        } while (n < 0 && errno == EINTR);
        if (n <= 0) {
            line.resize(had);
            break;
        }
        line.resize(had + static_cast<std::size_t>(n));
        const std::size_t lf = line.find('\n', had);
        if (lf != std::string::npos) {
            line.resize(lf);
            return line;
        }
    }
    return line;
}
