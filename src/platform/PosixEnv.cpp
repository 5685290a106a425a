// The system's own Env, over POSIX calls.
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Env.h"
#include "platform/FileUtil.h"
#include "platform/Registry.h"

namespace {

class PosixWritableFile : public WritableFile {
  public:
    explicit PosixWritableFile(UniqueFd fd) : fd_(std::move(fd)) {}
    bool Append(const char* data, std::size_t size) override {
        return WriteAll(fd_.get(), data, size);
    }
    bool Close() override { return fd_.close(); }

  private:
    UniqueFd fd_;
};

class PosixEnv : public Env {
  public:
    std::unique_ptr<Registry> OpenRegistry() override { return OpenSystemRegistry(); }

    std::optional<std::string> ReadFile(const std::string& path, std::size_t maxBytes) override {
        // Data files are regular files: a pipe or device under the name is not waited on.
        return ReadWholeFile(path, maxBytes, true);
    }
    bool ReplaceFile(const std::string& path, const std::string& data, int mode,
                     bool ownerOnly) override {
        return ReplaceFileAtomically(path, data, mode, ownerOnly);
    }
    std::optional<std::string> ReadLockedFile(const std::string& path,
                                              std::size_t maxBytes) override {
        return ::ReadLockedFile(path, maxBytes);
    }
    bool RewriteLockedFile(const std::string& path, const std::string& data, int mode) override {
        return ::RewriteLockedFile(path, data, mode);
    }
    AppendOutcome AppendLine(const std::string& path, const std::string& line,
                             bool noFollow) override {
        // Log files are made like any data file; the umask decides who else may read them.
        return AppendWholeLine(path, line, noFollow, 0666);
    }

    UniqueFd OpenForReading(const std::string& path) override {
        // A data file is a regular file under its own name: a symbolic link planted there is
        // not followed, and a FIFO is not waited on.
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        struct stat st;
        if (fd && (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))) {
            errno = EINVAL;
            return UniqueFd();
        }
        return fd;
    }

    bool FileExists(const std::string& path) override {
        struct stat st;
        return ::lstat(path.c_str(), &st) == 0;
    }
    bool RemoveFile(const std::string& path) override {
        return ::unlink(path.c_str()) == 0 || errno == ENOENT;
    }
    std::unique_ptr<WritableFile> NewWritableFile(const std::string& path, int mode) override {
        UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                           static_cast<mode_t>(mode)));
        if (!fd) {
            return nullptr;
        }
        return std::make_unique<PosixWritableFile>(std::move(fd));
    }

    std::time_t Now() override { return std::time(nullptr); }
    bool RandomBytes(unsigned char* buffer, std::size_t size) override {
        std::size_t got = 0;
        while (got < size) {
            const ssize_t n = ::getrandom(buffer + got, size - got, 0);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            got += static_cast<std::size_t>(n);
        }
        return true;
    }
};

}  // namespace

std::shared_ptr<const std::string> Env::ReadSharedFile(const std::string& path,
                                                       std::size_t maxBytes, ReadFailure* failure) {
    std::optional<std::string> text = ReadWholeFile(path, maxBytes, true, failure);
    return text ? std::make_shared<const std::string>(std::move(*text)) : nullptr;
}

Env& Env::Default() {
    static PosixEnv env;
    return env;
}
