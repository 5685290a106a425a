// Whole files kept in memory by a process that answers one request after another, so that a
// file read by every request (a page template, the message catalogue, the registry, the
// settings) is read again only when it has changed.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/FileUtil.h"

class KeptFiles {
  public:
    // A file modified or changed less than `settle` before it was read is not kept: a change
    // within the file system's clock step would leave its times as they were.
    static constexpr std::chrono::seconds kSettle{2};
    // What is kept at most; a file that does not fit is read every time.
    static constexpr std::size_t kMaxFiles = 64;
    static constexpr std::size_t kMaxBytes = 4u << 20;

    explicit KeptFiles(std::chrono::nanoseconds settle = kSettle) : settle_(settle) {}

    // The file's content as ReadWholeFile(path, maxBytes, true, failure) reads it, or null with
    // errno and `failure` set as it sets them. The copy kept from an earlier read is given
    // while the file under `path` is the same file with the same size, modification and change
    // times; else the file is read now. Not for use by more than one thread at once.
    std::shared_ptr<const std::string> Read(const std::string& path, std::size_t maxBytes,
                                            ReadFailure* failure);

  private:
    struct Kept {
        dev_t device;
        ino_t inode;
        off_t size;
        std::chrono::nanoseconds modified;
        std::chrono::nanoseconds changed;
        std::shared_ptr<const std::string> text;
    };
    static Kept Describe(const struct stat& st);
    static bool SameFile(const Kept& a, const Kept& b);
    bool Settled(const Kept& file) const;

    std::chrono::nanoseconds settle_;
    std::unordered_map<std::string, Kept> files_;
    std::size_t bytes_ = 0;
};
