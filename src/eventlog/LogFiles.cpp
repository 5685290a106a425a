#include "eventlog/LogFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "archive/KxTime.h"
#include "eventlog/EventRecord.h"
#include "platform/DataDirectory.h"
#include "platform/FileUtil.h"

namespace {

constexpr const char* kEventLineEnd = "\r\n";
// Files are created like any data file; the umask decides who else may read them.
constexpr mode_t kLogFileMode = 0666;

// The TMP directory with its trailing '/', or "" when TMP is unset or empty.
std::string TmpDirectory() {
    const char* tmp = std::getenv("TMP");
    if (tmp == nullptr || *tmp == '\0') {
        return {};
    }
    return WithTrailingSlash(tmp);
}

LogFileChoice ChooseLog(const std::string& dataDirectory, const char* primaryName) {
    const std::string tmp = TmpDirectory();
    LogFileChoice choice;
    choice.primaryInTmp = dataDirectory.empty();
    if (!choice.primaryInTmp) {
        choice.primary = WithTrailingSlash(dataDirectory) + primaryName;
    } else if (!tmp.empty()) {
        choice.primary = tmp + primaryName;
    }
    if (!tmp.empty()) {
        choice.fallback = tmp + kDiagnosticLogName;
        if (choice.fallback == choice.primary) {
            choice.fallback.clear();
        }
    }
    return choice;
}

enum class AppendOutcome { kWritten, kNotWritten, kTorn };

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

// Appends `line` with one write() so that concurrent appenders cannot cut into it. In the
// shared TMP directory a symbolic link planted under the log's name is not followed. A line
// is whole or absent: room for it is claimed first, so that a full disk refuses it, and a write
// cut short all the same is taken back.
AppendOutcome AppendLine(const std::string& path, const std::string& line, bool inTmp) {
    const int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | (inTmp ? O_NOFOLLOW : 0);
    UniqueFd fd(::open(path.c_str(), flags, kLogFileMode));
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

// The primary file first; the fallback when the primary cannot be opened or does not take
// the whole line (a full or read-only file system).
LogAppendResult AppendToChoice(const LogFileChoice& choice, const std::string& line) {
    LogAppendResult result;
    result.primaryInTmp = choice.primaryInTmp;
    struct Candidate {
        const std::string& path;
        bool inTmp;
    };
    const Candidate candidates[] = {{choice.primary, choice.primaryInTmp}, {choice.fallback, true}};
    for (const Candidate& candidate : candidates) {
        if (candidate.path.empty()) {
            continue;
        }
        const AppendOutcome outcome = AppendLine(candidate.path, line, candidate.inTmp);
        if (outcome == AppendOutcome::kWritten) {
            result.written = true;
            result.path = candidate.path;
            return result;
        }
        if (outcome == AppendOutcome::kTorn) {
            result.path = candidate.path;  // the piece of the line that could not be taken back
        }
    }
    return result;
}

}  // namespace

LogFileChoice ChooseEventLog(const std::string& dataDirectory) {
    return ChooseLog(dataDirectory, kEventLogName);
}

LogFileChoice ChooseDiagnosticLog(const std::string& dataDirectory) {
    return ChooseLog(dataDirectory, kDiagnosticLogName);
}

LogAppendResult AppendEvent(EventRecord& event, const std::string& code,
                            const std::string& dataDirectory) {
    event.Stamp(code);
    return AppendToChoice(ChooseEventLog(dataDirectory), event.FormatLine() + kEventLineEnd);
}

LogAppendResult AppendDiagnostic(const std::string& message, const std::string& dataDirectory) {
    return AppendToChoice(ChooseDiagnosticLog(dataDirectory), FormatDiagnosticLine(message));
}

std::string FormatDiagnosticLine(const std::string& message) {
    std::size_t length = message.size();
    while (length > 0 && (message[length - 1] == '\r' || message[length - 1] == '\n')) {
        --length;
    }
    std::string line = formatTimeLong(0);
    line += ": ";
    for (std::size_t i = 0; i < length; ++i) {
        line += (message[i] == '\r' || message[i] == '\n') ? ' ' : message[i];
    }
    line += '\n';
    return line;
}
