// The parts of quarget that behave as a curl user expects: the URL's user information and
// fragment, Basic credentials, the -w report, the -f gate on the final status, and the exit
// status of each outcome.
#pragma once

#include <cstdint>

#include <optional>
#include <string>

#include "QuarInet.h"

// Exit statuses (curl's numbers where curl has one).
enum ExitStatus {
    kExitOk = 0,
    kExitFailed = 1,      // the transfer failed
    kExitUsage = 2,       // the command line is wrong
    kExitHttpError = 22,  // -f and a final status of 400 or more
    kExitTimedOut = 28,   // --max-time ran out
    kExitInterrupted = 130,
};

// A URL without its "#fragment" (never sent) and without its "user:password@" (given back
// percent-decoded).
struct UrlWithoutSecrets {
    std::string url;
    std::optional<std::string> userInfo;
};
UrlWithoutSecrets SplitUserInfo(const std::string& url);

// The header line "Authorization: Basic ..." (with its CR LF) for "user:password".
std::string BasicAuthorizationLine(const std::string& userAndPassword);

// The -w format with "%{http_code}" as the three-digit status (000 when there was none) and
// "\n", "\r", "\t" as the characters they name.
std::string FormatWriteOut(const std::string& format, uint32_t status);

// The status code of a header block's status line, 0 when there is none.
uint32_t StatusOf(const char* headers);

// A body sink in front of another that, with `fail`, stops the exchange at the headers of a
// final status of 400 or more (nothing of its body is written) with kStoppedByStatus.
class FailGate {
  public:
    FailGate(const QuarInetBodySink* inner, bool fail) : inner_(inner), fail_(fail) {}
    const QuarInetBodySink* Sink() const { return &sink_; }
    static constexpr uint32_t kStoppedByStatus = 0x20000010;

  private:
    static uint32_t OnHeaders(void* self, const char* headers, uint32_t length);
    static uint32_t OnBody(void* self, const char* bytes, uint32_t length);

    const QuarInetBodySink* inner_;
    bool fail_;
    QuarInetBodySink sink_{this, &FailGate::OnHeaders, &FailGate::OnBody};
};
