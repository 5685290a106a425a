#include "archive/FileStream.h"

#include <cerrno>

#include "archive/CFileException.h"

namespace {

const char* modeText(FileStream::Mode mode) {
    switch (mode) {
        case FileStream::Mode::read:
            return "rb";
        case FileStream::Mode::write:
            return "wb";
        case FileStream::Mode::append:
            return "ab";
    }
    return "rb";
}

}  // namespace

FileStream::FileStream(const std::string& path, Mode mode)
    : file_(std::fopen(path.c_str(), modeText(mode))), owned_(true), name_(path) {
    if (file_ == nullptr) {
        int err = errno;
        throw CFileException(CFileException::causeOf(err), name_, err);
    }
}

FileStream::FileStream(std::FILE* file, std::string name)
    : file_(file), owned_(false), name_(std::move(name)) {}

FileStream::~FileStream() {
    if (owned_ && file_ != nullptr) {
        std::fclose(file_);
    }
}

bool FileStream::fill() {
    if (file_ == nullptr) {
        return false;
    }
    std::size_t n = std::fread(buffer_, 1, sizeof buffer_, file_);
    if (n == 0) {
        if (std::ferror(file_)) {
            int err = errno;
            std::clearerr(file_);
            throw CFileException(CFileException::readError, name_, err);
        }
        return false;
    }
    next_ = buffer_;
    end_ = buffer_ + n;
    return true;
}

void FileStream::write(const void* src, std::size_t count) {
    if (count == 0) {
        return;
    }
    if (file_ == nullptr || std::fwrite(src, 1, count, file_) != count) {
        int err = file_ == nullptr ? EBADF : errno;
        throw CFileException(CFileException::causeOf(err), name_, err);
    }
}

void FileStream::flush() {
    if (file_ != nullptr && std::fflush(file_) != 0) {
        int err = errno;
        throw CFileException(CFileException::causeOf(err), name_, err);
    }
}

void FileStream::close() {
    if (file_ == nullptr) {
        return;
    }
    std::FILE* f = file_;
    file_ = nullptr;
    int rc = owned_ ? std::fclose(f) : std::fflush(f);
    if (rc != 0) {
        int err = errno;
        throw CFileException(CFileException::causeOf(err), name_, err);
    }
}
