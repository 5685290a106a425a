#include "platform/LineAppend.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FileUtil.h"

namespace {

// CR LF or LF: the length of the ending of `line`.
std::size_t LineEndingLength(const std::string& line) {
    return line.size() >= 2 && line[line.size() - 2] == '\r' ? 2 : 1;
}

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
    const std::size_t endingLength = LineEndingLength(line);
    const std::size_t length = written < endingLength ? written : endingLength;
    UniqueFd inPlace(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW));
    return inPlace && ::pwrite(inPlace.get(), line.data() + line.size() - length, length,
                               end - static_cast<off_t>(length)) == static_cast<ssize_t>(length);
}

// True when the file's last byte ends a line (or the file is empty): a line appended after a
// piece that a crash or another program left unterminated must not run on from it.
bool EndsWithLineEnd(int fd, off_t size) {
    char last = '\n';
    return size == 0 || ::pread(fd, &last, 1, size - 1) != 1 || last == '\n';
}

}  // namespace

AppendOutcome AppendWholeLine(const std::string& path, const std::string& line, bool noFollow,
                              int mode) {
    // Never waits at the open: a FIFO under the log's name would hold the program until some
    // reader came. Only regular files take lines.
    // Read access lets the last byte be checked; a log that may only be written still takes
    // the line.
    const int flags = O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | (noFollow ? O_NOFOLLOW : 0);
    UniqueFd fd(::open(path.c_str(), O_RDWR | flags, static_cast<mode_t>(mode)));
    if (!fd && errno == EACCES) {
        fd = UniqueFd(::open(path.c_str(), O_WRONLY | flags, static_cast<mode_t>(mode)));
    }
    struct stat st;
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return AppendOutcome::kNotWritten;
    }
    // Appenders take turns: the size seen while another process's line is half copied in would
    // point into that line, and its middle byte would pass for an unterminated piece. The lock
    // ends with the descriptor.
    while (::flock(fd.get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            return AppendOutcome::kNotWritten;
        }
    }
    if (::fstat(fd.get(), &st) != 0) {
        return AppendOutcome::kNotWritten;
    }
    std::string text;
    if (!EndsWithLineEnd(fd.get(), st.st_size)) {
        text = line.substr(line.size() - LineEndingLength(line));  // ends the piece first
    }
    text += line;
    if (::fallocate(fd.get(), FALLOC_FL_KEEP_SIZE, st.st_size, static_cast<off_t>(text.size())) !=
            0 &&
        (errno == ENOSPC || errno == EFBIG || errno == EDQUOT)) {
        return AppendOutcome::kNotWritten;
    }
    ssize_t n;
    do {
        n = ::write(fd.get(), text.data(), text.size());
    } while (n < 0 && errno == EINTR);
    if (n > 0 && static_cast<std::size_t>(n) < text.size()) {
        return TakeBackPiece(path, fd.get(), text, static_cast<std::size_t>(n))
                   ? AppendOutcome::kNotWritten
                   : AppendOutcome::kTorn;
    }
    const bool closed = fd.close();
    return n > 0 && closed ? AppendOutcome::kWritten : AppendOutcome::kNotWritten;
}
