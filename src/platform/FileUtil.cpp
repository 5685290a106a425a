#include "platform/FileUtil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

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

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        return std::nullopt;
    }
    std::string data;
    struct stat st;
    if (::fstat(fd.get(), &st) == 0 && st.st_size > 0) {
        if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
            errno = EFBIG;
            return std::nullopt;
        }
        data.reserve(static_cast<std::size_t>(st.st_size));
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        if (static_cast<std::size_t>(n) > maxBytes - data.size()) {
            errno = EFBIG;
            return std::nullopt;
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
    return data;
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
                           Durability durability) {
    std::string temp = path + ".XXXXXX";
    UniqueFd fd(::mkstemp(temp.data()));
    if (!fd) {
        return false;
    }
    struct stat st;
    const int wanted = ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : mode;
    const bool ok = ::fchmod(fd.get(), static_cast<mode_t>(wanted)) == 0 &&
                    WriteAll(fd.get(), data.data(), data.size()) &&
                    (durability == Durability::Cached || ::fsync(fd.get()) == 0) && fd.close() &&
                    ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
    }
    return ok;
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
