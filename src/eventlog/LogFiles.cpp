#include "eventlog/LogFiles.h"

#include <fcntl.h>
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

enum class AppendOutcome { kWritten, kNotOpened, kNothingWritten, kFailed };

// Appends `line` with one write() so that concurrent appenders cannot cut into it. In the
// shared TMP directory a symbolic link planted under the log's name is not followed.
AppendOutcome AppendLine(const std::string& path, const std::string& line, bool inTmp) {
    const int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | (inTmp ? O_NOFOLLOW : 0);
    UniqueFd fd(::open(path.c_str(), flags, kLogFileMode));
    if (!fd) {
        return AppendOutcome::kNotOpened;
    }
    ssize_t n;
    do {
        n = ::write(fd.get(), line.data(), line.size());
    } while (n < 0 && errno == EINTR);
    const bool closed = fd.close();
    if (n < 0) {
        return AppendOutcome::kNothingWritten;
    }
    // A short write leaves part of the line behind; writing the rest could not keep it whole.
    return static_cast<std::size_t>(n) == line.size() && closed ? AppendOutcome::kWritten
                                                                : AppendOutcome::kFailed;
}

// The primary file first; the fallback when the primary cannot be opened or takes nothing
// (a full or read-only file system).
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
        if (outcome == AppendOutcome::kFailed) {
            result.path = candidate.path;  // part of the line may be there
            return result;
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
