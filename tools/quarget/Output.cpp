#include "Output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

bool Output::Open(const std::string& path, bool withHeaders, std::string& error) {
    withHeaders_ = withHeaders;
    if (path.empty()) {
        fd_ = STDOUT_FILENO;
        return true;
    }
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        // A device or a pipe (/dev/null, a FIFO) is written as it is: it cannot be replaced.
        fd_ = open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd_ < 0) {
            error = "cannot write " + path + ": " + std::strerror(errno);
            return false;
        }
        direct_ = true;
        return true;
    }
    // An existing file is replaced where it is, also when `path` is a link to it.
    char resolved[PATH_MAX];
    path_ = realpath(path.c_str(), resolved) != nullptr ? resolved : path;
    // Beside the target, so that the rename stays within its file system.
    temporary_ = path_ + ".quarget-XXXXXX";
    fd_ = mkostemp(temporary_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        temporary_.clear();
        return false;
    }
    // The permissions a newly created file of the user would get.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd_, 0666 & ~mask);
    return true;
}

Output::~Output() {
    std::string ignored;
    if (!temporary_.empty()) {
        Close(false, ignored);
    }
    if (direct_ && fd_ >= 0) {
        close(fd_);
    }
}

uint32_t Output::Write(const char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd_, bytes, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            writeError_ = n < 0 ? errno : EIO;
            return kWriteFailed;
        }
        bytes += n;
        size -= static_cast<size_t>(n);
        written_ += static_cast<uint64_t>(n);
    }
    return 0;
}

uint32_t Output::OnHeaders(void* self, const char* headers, uint32_t length) {
    Output& out = *static_cast<Output*>(self);
    return out.withHeaders_ ? out.Write(headers, length) : 0;
}

uint32_t Output::OnBody(void* self, const char* bytes, uint32_t length) {
    return static_cast<Output*>(self)->Write(bytes, length);
}

bool Output::Close(bool keep, std::string& error) {
    if (temporary_.empty()) {
        return true;
    }
    const std::string temporary = std::move(temporary_);
    temporary_.clear();
    bool stored = keep && writeError_ == 0;
    if (close(fd_) != 0 && stored) {
        error = "cannot write " + path_ + ": " + std::strerror(errno);
        stored = false;
    }
    fd_ = -1;
    if (stored && std::rename(temporary.c_str(), path_.c_str()) != 0) {
        error = "cannot store " + path_ + ": " + std::strerror(errno);
        stored = false;
    }
    if (!stored) {
        unlink(temporary.c_str());
    }
    return stored || !keep;
}
