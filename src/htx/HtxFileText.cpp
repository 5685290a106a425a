#include "htx/HtxFileText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

namespace {

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

HtxFileStatus ReadFileText(const std::string& name, std::string& text) {
    text.clear();
    if (name.find('\0') != std::string::npos) {
        return HtxFileStatus::CannotOpen;
    }
    FileDescriptor file(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info;
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return HtxFileStatus::CannotOpen;
    }
    try {
        // The size is a hint only: the file may change while it is read.
        text.reserve(static_cast<std::size_t>(info.st_size));
        char chunk[16384];
        for (;;) {
            const ssize_t n = ::read(file.get(), chunk, sizeof chunk);
            if (n == 0) {
                return HtxFileStatus::Ok;
            }
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                text.clear();
                return HtxFileStatus::ReadFailed;
            }
            text.append(chunk, static_cast<std::size_t>(n));
        }
    } catch (const std::bad_alloc&) {
        std::string().swap(text);
        return HtxFileStatus::NoMemory;
    }
}
