// The Env of a process that answers one request after another: the system's, except that the
// files every request reads (page templates, the message catalogue, the registry, the
// settings) are kept between requests and read again only when they change.
#pragma once

#include "platform/Env.h"
#include "platform/KeptFiles.h"

class KeepingEnv : public Env {
  public:
    // `base` is the system's Env (kept files are read from the file system itself); it must
    // outlive this one. One thread at a time.
    explicit KeepingEnv(Env& base, std::chrono::nanoseconds settle = KeptFiles::kSettle)
        : base_(base), kept_(settle) {}

    std::unique_ptr<Registry> OpenRegistry() override;
    std::optional<std::string> ReadFile(const std::string& path, std::size_t maxBytes) override;
    std::shared_ptr<const std::string> ReadSharedFile(const std::string& path, std::size_t maxBytes,
                                                      ReadFailure* failure) override {
        return kept_.Read(path, maxBytes, failure);
    }

    bool ReplaceFile(const std::string& path, const std::string& data, int mode,
                     bool ownerOnly) override {
        return base_.ReplaceFile(path, data, mode, ownerOnly);
    }
    std::optional<std::string> ReadLockedFile(const std::string& path,
                                              std::size_t maxBytes) override {
        return base_.ReadLockedFile(path, maxBytes);
    }
    bool RewriteLockedFile(const std::string& path, const std::string& data, int mode) override {
        return base_.RewriteLockedFile(path, data, mode);
    }
    AppendOutcome AppendLine(const std::string& path, const std::string& line,
                             bool noFollow) override {
        return base_.AppendLine(path, line, noFollow);
    }
    UniqueFd OpenForReading(const std::string& path) override { return base_.OpenForReading(path); }
    bool FileExists(const std::string& path) override { return base_.FileExists(path); }
    bool RemoveFile(const std::string& path) override { return base_.RemoveFile(path); }
    std::unique_ptr<WritableFile> NewWritableFile(const std::string& path, int mode) override {
        return base_.NewWritableFile(path, mode);
    }
    std::time_t Now() override { return base_.Now(); }
    bool RandomBytes(unsigned char* buffer, std::size_t size) override {
        return base_.RandomBytes(buffer, size);
    }

  private:
    Env& base_;
    KeptFiles kept_;
};
