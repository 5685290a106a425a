// What the server programs take from the system, behind one interface: the registry, the whole
// files they read and write in the data directory, the log lines they append, the clock and the
// random source. The application object holds one; the real one is Env::Default(), and tests
// hand in their own to reach the paths where the system fails.
#pragma once

#include <cstddef>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "platform/FileUtil.h"
#include "platform/LineAppend.h"

class Registry;

// A new file being written from its start, closed by Close() or on destruction.
class WritableFile {
  public:
    virtual ~WritableFile() = default;
    // Writes all of `data`; false when the system takes less.
    virtual bool Append(const char* data, std::size_t size) = 0;
    // Closes the file now; false when closing reports an error (the data may be lost).
    virtual bool Close() = 0;
};

class Env {
  public:
    virtual ~Env() = default;

    // The system's own: the registry files, the file system, the time of day and the kernel's
    // random source. It lives for the whole process and holds no state of its own, so any
    // number of threads may use it.
    static Env& Default();

    // A registry over the files that the environment names at this call (see
    // OpenSystemRegistry); every call reads them afresh.
    virtual std::unique_ptr<Registry> OpenRegistry() = 0;

    // ReadWholeFile: the whole content, nothing when it cannot be read or exceeds maxBytes.
    virtual std::optional<std::string> ReadFile(const std::string& path, std::size_t maxBytes) = 0;
    // A file of the site that every request reads and few change (a page template, the message
    // catalogue): its content as ReadWholeFile(path, maxBytes, true, failure) reads it, shared;
    // null (errno and `failure` set) when it cannot be read. Read from the file system here; an
    // Env that serves many requests may give what it read before while the file is unchanged.
    virtual std::shared_ptr<const std::string> ReadSharedFile(const std::string& path,
                                                              std::size_t maxBytes,
                                                              ReadFailure* failure);
    // ReplaceFileAtomically: readers see the old or the new content.
    virtual bool ReplaceFile(const std::string& path, const std::string& data, int mode,
                             bool ownerOnly) = 0;
    // ReadLockedFile and RewriteLockedFile: a small file rewritten in place under a lock.
    virtual std::optional<std::string> ReadLockedFile(const std::string& path,
                                                      std::size_t maxBytes) = 0;
    virtual bool RewriteLockedFile(const std::string& path, const std::string& data, int mode) = 0;
    // AppendWholeLine: the line whole or absent at the end of the file.
    virtual AppendOutcome AppendLine(const std::string& path, const std::string& line,
                                     bool noFollow) = 0;

    // A data file opened for reading from its start; not open (errno set) when it cannot be.
    // A symbolic link under the name is not followed, and anything but a regular file (a FIFO
    // that would block, a device) is refused.
    virtual UniqueFd OpenForReading(const std::string& path) = 0;

    // True when something of that name is there (a symbolic link is not followed).
    virtual bool FileExists(const std::string& path) = 0;
    // True when the file is gone afterwards: removed now, or not there in the first place.
    virtual bool RemoveFile(const std::string& path) = 0;
    // Creates `path` (emptied when it is there) with `mode`; null when it cannot be made.
    virtual std::unique_ptr<WritableFile> NewWritableFile(const std::string& path, int mode) = 0;

    // Seconds since 1970.
    virtual std::time_t Now() = 0;
    // Fills `buffer` with bytes that another process cannot guess; false when the source gave
    // fewer than `size` (the buffer is then unspecified).
    virtual bool RandomBytes(unsigned char* buffer, std::size_t size) = 0;
};
