// The two append-only log files of the server programs and how a line reaches them:
//   event log       "quar_nbx_log.txt"  one EventRecord line per event, ended by CR LF
//   diagnostic log  "quar_nbx.log"      "<long local time>: <message>" ended by LF
// Each append opens the file in append mode (creating it when missing), writes the whole
// line with one write() and closes it again, so that concurrent processes interleave whole
// lines. A line is whole or absent: on a full disk a line that does not fit is refused or
// taken back, and goes to the fallback file instead. Nothing here throws or ends the process;
// a line that cannot be written is reported in the result only.
#pragma once

#include <ctime>
#include <string>

#include "platform/Env.h"

class EventRecord;

inline constexpr const char* kEventLogName = "quar_nbx_log.txt";
inline constexpr const char* kDiagnosticLogName = "quar_nbx.log";

// Where a log line goes: the primary file, then the fallback.
struct LogFileChoice {
    // The data directory's file; the TMP directory's when the data directory is empty.
    std::string primary;
    // "quar_nbx.log" in the TMP directory; empty when TMP is unset or empty, or when it
    // is the primary file itself.
    std::string fallback;
    // The data directory was empty, so the primary file lies in TMP. (The administration
    // program's Fatal switches event logging on in that case.)
    bool primaryInTmp = false;
};

// What an append did.
struct LogAppendResult {
    bool written = false;       // the whole line reached a file
    bool primaryInTmp = false;  // as LogFileChoice::primaryInTmp
    std::string path;           // the file written, empty when none
};

// The file choices for a data directory text (with or without its trailing '/'; empty when
// none is configured). TMP is read from the environment; when it is unset or empty, no file
// is chosen in it.
LogFileChoice ChooseEventLog(const std::string& dataDirectory);
LogFileChoice ChooseDiagnosticLog(const std::string& dataDirectory);

// The core of LogCode and RaiseCode: stamps `event` with env's time and `code`, then appends
// its FormatLine() and CR LF to the event log through env. The event keeps time and code also
// when no file can be written.
LogAppendResult AppendEvent(EventRecord& event, const std::string& code,
                            const std::string& dataDirectory, Env& env);

// The core of Fatal and Warning: appends FormatDiagnosticLine(message, env's time) to the
// diagnostic log through env.
LogAppendResult AppendDiagnostic(const std::string& message, const std::string& dataDirectory,
                                 Env& env);

// "<long local time of `now`>: <message>\n" (`now` in seconds since 1970; 0 is the time of
// day). Line breaks at the end of `message` are dropped and any others become blanks, so that
// one message is one line.
std::string FormatDiagnosticLine(const std::string& message, std::time_t now);
