#include "platform/FileUtil.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <new>

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.release();
    }
    return *this;
}

UniqueFd::~UniqueFd() {
    close();
}

bool UniqueFd::close() {
    if (fd_ < 0) {
        return true;
    }
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
}

std::optional<std::string> ReadOpenFile(int fd, std::size_t maxBytes, ReadFailure* failure,
                                        long long knownSize) {
    ReadFailure ignored;
    ReadFailure& why = failure != nullptr ? *failure : ignored;
    const auto tooLarge = [&why] {
        why = ReadFailure::kTooLarge;
        errno = EFBIG;
        return std::nullopt;
    };
    try {
        if (knownSize < 0) {
            struct stat st;
            knownSize = ::fstat(fd, &st) == 0 ? static_cast<long long>(st.st_size) : 0;
        }
        if (static_cast<unsigned long long>(knownSize) > maxBytes) {
            return tooLarge();
        }
        // The size is a hint only (the file may change while it is read): one byte more is
        // asked for, so that a file read whole in one call ends without a further read.
        const std::size_t hint = static_cast<std::size_t>(knownSize);
        std::string data(hint + 1, '\0');
        std::size_t got = 0;
        for (bool first = true;; first = false) {
            if (got == data.size()) {
                if (got > maxBytes) {
                    return tooLarge();
                }
                data.resize(got + std::max<std::size_t>(got, 65536));
            }
            const ssize_t n = ::read(fd, &data[got], data.size() - got);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                why = ReadFailure::kReadFailed;
                return std::nullopt;
            }
            got += static_cast<std::size_t>(n);
            if (got > maxBytes) {
                return tooLarge();
            }
            if (n == 0 || (first && hint > 0 && got <= hint)) {
                break;
            }
        }
        data.resize(got);
        return data;
    } catch (const std::bad_alloc&) {
        why = ReadFailure::kNoMemory;
        errno = ENOMEM;
        return std::nullopt;
    }
}

namespace {

bool Lock(int fd, int operation) {
    while (::flock(fd, operation) != 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

std::nullopt_t CannotOpen(ReadFailure* failure) {
    if (failure != nullptr) {
        *failure = ReadFailure::kCannotOpen;
    }
    return std::nullopt;
}

// A regular file only: opened without following a symbolic link and without waiting (a FIFO
// planted under the name would hold the caller until a writer came).
UniqueFd OpenRegularFile(const std::string& path, int flags, int mode, struct stat& st) {
    UniqueFd fd(::open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK,
                       static_cast<mode_t>(mode)));
    if (fd && (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))) {
        errno = EINVAL;
        return UniqueFd();
    }
    return fd;
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes,
                                         bool regularOnly, ReadFailure* failure) {
    if (regularOnly) {
        struct stat st;
        return ReadRegularFile(path, maxBytes, failure, st);
    }
    if (path.find('\0') != std::string::npos) {
        errno = EINVAL;
        return CannotOpen(failure);
    }
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        return CannotOpen(failure);
    }
    return ReadOpenFile(fd.get(), maxBytes, failure, -1);
}

std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t maxBytes,
                                           ReadFailure* failure, struct stat& opened) {
    if (path.find('\0') != std::string::npos) {
        errno = EINVAL;
        return CannotOpen(failure);
    }
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd || ::fstat(fd.get(), &opened) != 0) {
        return CannotOpen(failure);
    }
    if (!S_ISREG(opened.st_mode)) {
        errno = S_ISDIR(opened.st_mode) ? EISDIR : EINVAL;
        return CannotOpen(failure);
    }
    return ReadOpenFile(fd.get(), maxBytes, failure, static_cast<long long>(opened.st_size));
}

std::optional<std::string> ReadLockedFile(const std::string& path, std::size_t maxBytes) {
    struct stat st;
    UniqueFd fd = OpenRegularFile(path, O_RDONLY, 0, st);
    if (!fd || !Lock(fd.get(), LOCK_SH)) {
        return std::nullopt;
    }
    // The size seen before the lock is a hint like any other: the read goes on to the end.
    return ReadOpenFile(fd.get(), maxBytes, nullptr, static_cast<long long>(st.st_size));
}

bool RewriteLockedFile(const std::string& path, const std::string& data, int mode) {
    struct stat st;
    UniqueFd fd = OpenRegularFile(path, O_WRONLY | O_CREAT, mode, st);
    if (!fd || !Lock(fd.get(), LOCK_EX)) {
        return false;
    }
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n =
            ::pwrite(fd.get(), data.data() + done, data.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return ::ftruncate(fd.get(), static_cast<off_t>(data.size())) == 0 && fd.close();
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool MakeParentDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string dir = path.substr(0, slash);
        if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return true;
}

bool ReplaceFileAtomically(const std::string& path, const std::string& data, int mode,
                           bool ownerOnly) {
    std::string temp = path + ".XXXXXX";
    UniqueFd fd(::mkstemp(temp.data()));
    if (!fd) {
        return false;
    }
    struct stat st;
    int wanted = ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : mode;
    if (ownerOnly) {
        wanted &= 07700;
    }
    const bool ok = ::fchmod(fd.get(), static_cast<mode_t>(wanted)) == 0 &&
                    WriteAll(fd.get(), data.data(), data.size()) && ::fsync(fd.get()) == 0 &&
                    fd.close() && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
    }
    return ok;
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
