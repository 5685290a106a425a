// Reading the event log line by line without holding it: the file streams through one reused
// buffer, and a line is read again by its offset when it is shown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// The longest part of a line that the viewer looks at: filters and categories judge a line by
// these first bytes, and the page shows no more of it. Lines the servers write are far
// shorter; the bound keeps a damaged or hostile log from making a page of unbounded size.
inline constexpr std::size_t kMaxLogLineBytes = 64 * 1024;

// Streams the lines of an open file descriptor (not owned; read from its current position).
// Lines end with LF; a last line without LF is a line too. Memory: one buffer of
// `chunkBytes`, allocated once, plus one copy of at most `maxLineBytes` for a line that does
// not fit it.
class LogLineReader {
  public:
    static constexpr std::size_t kDefaultChunkBytes = 1 << 20;

    // `maxLineBytes` must be smaller than `chunkBytes`.
    explicit LogLineReader(int fd, std::size_t chunkBytes = kDefaultChunkBytes,
                           std::size_t maxLineBytes = kMaxLogLineBytes);

    // The next line: the file offset of its first byte and its first `maxLineBytes` bytes,
    // without the LF. The text stays valid until the next call. False at the end of the file;
    // a read error ends the file there.
    bool Next(std::uint64_t& offset, std::string_view& text);

  private:
    // Moves the unread bytes to the front and reads more behind them; false at the end.
    bool Refill();
    // The rest of a line longer than `maxLineBytes_` is skipped up to its LF.
    void SkipRestOfLine(std::size_t from);

    int fd_;
    std::size_t chunkBytes_;
    std::size_t maxLineBytes_;
    std::unique_ptr<char[]> buffer_;
    std::size_t begin_ = 0;   // first unread byte
    std::size_t end_ = 0;     // end of the bytes read
    std::uint64_t base_ = 0;  // file offset of buffer_[0]
    bool atEnd_ = false;
    std::string longLine_;  // the kept start of a line longer than the buffer holds
};

// The line that starts at `offset` of `fd`: at most `maxLineBytes` bytes, without its LF.
// Empty when nothing can be read there.
std::string ReadLogLineAt(int fd, std::uint64_t offset,
                          std::size_t maxLineBytes = kMaxLogLineBytes);
