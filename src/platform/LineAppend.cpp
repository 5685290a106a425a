#include "platform/LineAppend.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FileUtil.h"

namespace {

// Takes back the `written` bytes of `line` that a write cut short, so that the line is absent
// rather than torn and the next line does not run on from its piece. When another process has
// appended since, the piece cannot be taken out: it gets the line's own ending in place instead.
bool TakeBackPiece(const std::string& path, int fd, const std::string& line, std::size_t written) {
    const off_t end = ::lseek(fd, 0, SEEK_CUR);  // with O_APPEND: just behind the piece
    struct stat st;
    if (end < static_cast<off_t>(written) || ::fstat(fd, &st) != 0) {
        return false;
    }
    if (st.st_size == end) {
        return ::ftruncate(fd, end - static_cast<off_t>(written)) == 0;
    }
    const std::size_t endingLength = line.size() >= 2 && line[line.size() - 2] == '\r' ? 2 : 1;
    const std::size_t length = written < endingLength ? written : endingLength;
    UniqueFd inPlace(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW));
    return inPlace && ::pwrite(inPlace.get(), line.data() + line.size() - length, length,
                               end - static_cast<off_t>(length)) == static_cast<ssize_t>(length);
}

}  // namespace

AppendOutcome AppendWholeLine(const std::string& path, const std::string& line, bool noFollow,
                              int mode) {
    const int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | (noFollow ? O_NOFOLLOW : 0);
    UniqueFd fd(::open(path.c_str(), flags, static_cast<mode_t>(mode)));
    if (!fd) {
        return AppendOutcome::kNotWritten;
    }
    struct stat st;
    if (::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) &&
        ::fallocate(fd.get(), FALLOC_FL_KEEP_SIZE, st.st_size, static_cast<off_t>(line.size())) !=
            0 &&
        (errno == ENOSPC || errno == EFBIG || errno == EDQUOT)) {
        return AppendOutcome::kNotWritten;
    }
    ssize_t n;
    do {
        n = ::write(fd.get(), line.data(), line.size());
    } while (n < 0 && errno == EINTR);
    if (n > 0 && static_cast<std::size_t>(n) < line.size()) {
        return TakeBackPiece(path, fd.get(), line, static_cast<std::size_t>(n))
                   ? AppendOutcome::kNotWritten
                   : AppendOutcome::kTorn;
    }
    const bool closed = fd.close();
    return n > 0 && closed ? AppendOutcome::kWritten : AppendOutcome::kNotWritten;
}
