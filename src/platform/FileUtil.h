// Small file helpers over POSIX calls: an owning descriptor, whole-file reads and atomic
// replacement.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

struct stat;

// Owns one file descriptor and closes it.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd();

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes now; false (errno set) when close reports an error.
    bool close();

  private:
    int fd_ = -1;
};

// Why ReadWholeFile gave nothing.
enum class ReadFailure { kCannotOpen, kReadFailed, kTooLarge, kNoMemory };

// The whole content of a file, or nothing when it cannot be opened or read (errno set), or
// when it holds more than maxBytes (errno EFBIG; the read stops there, so that a device
// without end such as /dev/zero cannot hold the caller). A path holding a NUL names no file.
// With regularOnly a directory, pipe or device counts as a file that cannot be opened, and
// opening never waits, so that neither a pipe nor an endless device can hold the caller.
// `failure`, when given, says why nothing came back.
std::optional<std::string> ReadWholeFile(const std::string& path,
                                         std::size_t maxBytes = static_cast<std::size_t>(-1),
                                         bool regularOnly = false, ReadFailure* failure = nullptr);

// ReadWholeFile of a regular file (regularOnly), also giving what the file was when it was
// opened: its identity, size and times, taken before the first byte was read.
std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t maxBytes,
                                           ReadFailure* failure, struct stat& opened);

// The rest of the open file `fd` from its current position, read as ReadWholeFile reads:
// nothing (errno and `failure` set) when reading fails or more than maxBytes are there.
// `knownSize` is the file's size when the caller has asked already (-1: asked here); it is a
// hint, and a file read whole in one call takes no further read.
std::optional<std::string> ReadOpenFile(int fd, std::size_t maxBytes = static_cast<std::size_t>(-1),
                                        ReadFailure* failure = nullptr, long long knownSize = -1);

// Writes all of `data` to `fd`, continuing after short writes and interruptions.
bool WriteAll(int fd, const char* data, std::size_t size);

// Creates the directories above `path` that are missing.
bool MakeParentDirectories(const std::string& path);

// Replaces `path` with `data` through a temporary file in the same directory and a rename, so
// that readers see the old or the new content. `mode` applies to a newly made file; an existing
// file keeps its mode, except that an `ownerOnly` file loses any access of group and others.
bool ReplaceFileAtomically(const std::string& path, const std::string& data, int mode = 0644,
                           bool ownerOnly = false);

// A small file rewritten in place on every request, where a new file and a rename each time
// would cost more than the request: RewriteLockedFile writes `data` over the file (made with
// `mode` when missing) under an exclusive lock, and ReadLockedFile reads it under a shared
// one, so that a reader sees the old or the new content. Neither waits for the disk: after a
// crash the file may be incomplete, so it must be one whose loss is harmless.
bool RewriteLockedFile(const std::string& path, const std::string& data, int mode);
std::optional<std::string> ReadLockedFile(const std::string& path, std::size_t maxBytes);

// The directory part of `path` up to and including its last '/', or "" without one.
std::string DirectoryOf(const std::string& path);
