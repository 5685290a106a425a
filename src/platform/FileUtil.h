// Small file helpers over POSIX calls: an owning descriptor, whole-file reads and atomic
// replacement.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

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

// The whole content of a file, or nothing when it cannot be opened or read (errno set), or
// when it holds more than maxBytes (errno EFBIG; the read stops there, so that a device
// without end such as /dev/zero cannot hold the caller).
std::optional<std::string> ReadWholeFile(const std::string& path,
                                         std::size_t maxBytes = static_cast<std::size_t>(-1));

// Writes all of `data` to `fd`, continuing after short writes and interruptions.
bool WriteAll(int fd, const char* data, std::size_t size);

// Creates the directories above `path` that are missing.
bool MakeParentDirectories(const std::string& path);

// Whether a replaced file must be on the disk before the call returns.
enum class Durability {
    Synced,  // data flushed before the rename: the file survives a crash whole
    Cached,  // left to the system's write-back: for a file whose loss is harmless
};

// Replaces `path` with `data` through a temporary file in the same directory and a rename, so
// that readers see the old or the new content. `mode` applies to a newly made file.
bool ReplaceFileAtomically(const std::string& path, const std::string& data, int mode = 0644,
                           Durability durability = Durability::Synced);

// The directory part of `path` up to and including its last '/', or "" without one.
std::string DirectoryOf(const std::string& path);
