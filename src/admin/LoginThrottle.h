// Bounds password guessing: the refused logins of each client in a small file of the data
// directory ("quar_logins.dat"), read and written under the session file's lock so that
// concurrent logins count each attempt once.
//   Client key: the pair of forwarded and connecting address. After kMaxRefusals attempts
//   without success within kWindowSeconds, the pair is locked out for kWindowSeconds.
//   Connecting address alone: a forwarded value is whatever the sender writes, so all pairs of
//   one connecting address together get kMaxRefusalsPerConnection attempts per window.
// An attempt is counted before its password is compared (so that parallel guesses cannot all
// pass the check); a right password then clears the counts of its pair.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

constexpr std::uint32_t kMaxRefusals = 5;
constexpr std::uint32_t kMaxRefusalsPerConnection = 25;
constexpr std::uint32_t kWindowSeconds = 15 * 60;
// The file keeps this many clients; the least recently seen go first.
constexpr std::size_t kMaxThrottledClients = 256;

constexpr const char* kThrottleFileName = "quar_logins.dat";

struct ThrottleVerdict {
    enum class Outcome {
        kAdmitted,   // the password may be compared (the attempt is counted)
        kLockedOut,  // refused without comparing until `retryAt`
        kFailed,     // the counts cannot be read or written: no comparison either
    };
    Outcome outcome = Outcome::kFailed;
    std::time_t retryAt = 0;
    bool firstOfWindow = false;  // kLockedOut: the first refusal of this lock-out
};

// Counts an attempt of the client (forwarded, connecting) at `now`, or refuses it.
ThrottleVerdict AdmitLogin(const std::string& dataDirectory, const std::string& sessionFile,
                           const std::string& forwarded, const std::string& connecting,
                           std::time_t now);

// A right password: the pair's attempts are forgotten. False when the file cannot be written.
bool ClearLogins(const std::string& dataDirectory, const std::string& sessionFile,
                 const std::string& forwarded, const std::string& connecting, std::time_t now);
