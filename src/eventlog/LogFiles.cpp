#include "eventlog/LogFiles.h"

#include <cstdlib>

#include "archive/KxTime.h"
#include "eventlog/EventRecord.h"
#include "platform/DataDirectory.h"
#include "platform/Env.h"

namespace {

constexpr const char* kEventLineEnd = "\r\n";

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

// The primary file first; the fallback when the primary cannot be opened or does not take
// the whole line (a full or read-only file system).
LogAppendResult AppendToChoice(const LogFileChoice& choice, const std::string& line, Env& env) {
    LogAppendResult result;
    result.primaryInTmp = choice.primaryInTmp;
    for (const std::string* path : {&choice.primary, &choice.fallback}) {
        if (path->empty()) {
            continue;
        }
        // A symbolic link planted under the log's name, in the shared TMP directory or in the
        // data directory, is not followed.
        const AppendOutcome outcome = env.AppendLine(*path, line, true);
        if (outcome == AppendOutcome::kWritten) {
            result.written = true;
            result.path = *path;
            return result;
        }
        if (outcome == AppendOutcome::kTorn) {
            result.path = *path;  // the piece of the line that could not be taken back
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
                            const std::string& dataDirectory, Env& env) {
    event.Stamp(code, env.Now());
    return AppendToChoice(ChooseEventLog(dataDirectory), event.FormatLine() + kEventLineEnd, env);
}

LogAppendResult AppendDiagnostic(const std::string& message, const std::string& dataDirectory,
                                 Env& env) {
    return AppendToChoice(ChooseDiagnosticLog(dataDirectory),
                          FormatDiagnosticLine(message, env.Now()), env);
}

std::string FormatDiagnosticLine(const std::string& message, std::time_t now) {
    std::size_t length = message.size();
    while (length > 0 && (message[length - 1] == '\r' || message[length - 1] == '\n')) {
        --length;
    }
    std::string line = formatTimeLong(now);
    line += ": ";
    for (std::size_t i = 0; i < length; ++i) {
        line += (message[i] == '\r' || message[i] == '\n') ? ' ' : message[i];
    }
    line += '\n';
    return line;
}
