#include "admin/LoginThrottle.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/Decimal.h"
#include "platform/FileUtil.h"

namespace {

// One line per client: key, first attempt of the window, attempts, locked until, logged,
// last seen; tab-separated.
struct Entry {
    std::string key;
    std::uint64_t windowStart = 0;
    std::uint32_t attempts = 0;
    std::uint64_t lockedUntil = 0;
    bool logged = false;
    std::uint64_t lastSeen = 0;
};

// The file is small: kMaxThrottledClients lines of two short addresses.
constexpr std::size_t kMaxFileBytes = 256 * 1024;
constexpr char kConnectionPrefix[] = "connection ";

std::string Clean(const std::string& text) {
    std::string clean = text;
    std::replace_if(
        clean.begin(), clean.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; },
        ' ');
    return clean;
}

std::string PairKey(const std::string& forwarded, const std::string& connecting) {
    return Clean(forwarded) + " via " + Clean(connecting);
}

std::vector<Entry> Parse(const std::string& text) {
    // Split by hand: a string stream would bring in the stream library's locale, data that every
    // program start relocates.
    std::vector<Entry> entries;
    std::string_view rest = text;
    while (!rest.empty() && entries.size() < kMaxThrottledClients) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        std::vector<std::string> columns;
        while (!line.empty() && columns.size() <= 6) {
            const std::size_t tab = line.find('\t');
            columns.emplace_back(line.substr(0, tab));
            line.remove_prefix(tab == std::string_view::npos ? line.size() : tab + 1);
        }
        if (columns.size() != 6) {
            continue;  // a damaged line counts nothing
        }
        const auto number = [](const std::string& t) {
            return static_cast<std::uint64_t>(LeadingDecimal(t.c_str(), 0, INT64_MAX));
        };
        entries.push_back(
            {columns[0], number(columns[1]),
             static_cast<std::uint32_t>(std::min<std::uint64_t>(number(columns[2]), UINT32_MAX)),
             number(columns[3]), columns[4] == "1", number(columns[5])});
    }
    return entries;
}

std::string Format(std::vector<Entry> entries) {
    // The most recently seen first; the oldest fall off the end.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.lastSeen > b.lastSeen; });
    if (entries.size() > kMaxThrottledClients) {
        entries.resize(kMaxThrottledClients);
    }
    std::string text;
    for (const Entry& e : entries) {
        text += e.key + '\t' + std::to_string(e.windowStart) + '\t' + std::to_string(e.attempts) +
                '\t' + std::to_string(e.lockedUntil) + '\t' + (e.logged ? "1" : "0") + '\t' +
                std::to_string(e.lastSeen) + '\n';
    }
    return text;
}

// The counts of all clients, read and written while the session file is locked.
class LockedCounts {
  public:
    LockedCounts(const std::string& dataDirectory, const std::string& sessionFile)
        : path_(dataDirectory + kThrottleFileName) {
        lock_ = UniqueFd(::open(sessionFile.c_str(),
                                O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
        struct stat st;
        if (!lock_ || ::fstat(lock_.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
            lock_ = UniqueFd();
            return;
        }
        while (::flock(lock_.get(), LOCK_EX) != 0) {
            if (errno != EINTR) {
                lock_ = UniqueFd();
                return;
            }
        }
        std::optional<std::string> text = ReadLockedFile(path_, kMaxFileBytes);
        if (text) {
            entries_ = Parse(*text);
        } else if (errno != ENOENT) {
            lock_ = UniqueFd();  // a file that is there but cannot be read counts nothing
        }
        // Room for the two entries a login may add, so that Find keeps earlier references.
        entries_.reserve(entries_.size() + 2);
    }
    // The lock ends with the descriptor.
    bool ok() const { return static_cast<bool>(lock_); }

    Entry& Find(const std::string& key, std::uint64_t now) {
        for (Entry& e : entries_) {
            if (e.key == key) {
                return e;
            }
        }
        entries_.push_back({key, now, 0, 0, false, now});
        return entries_.back();
    }
    void Remove(const std::string& key) {
        entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                      [&](const Entry& e) { return e.key == key; }),
                       entries_.end());
    }
    bool Save() { return RewriteLockedFile(path_, Format(entries_), 0600); }

  private:
    std::string path_;
    UniqueFd lock_;
    std::vector<Entry> entries_;
};

// A window that has run out starts again; so does a lock-out that has ended.
void Refresh(Entry& e, std::uint64_t now) {
    if (now >= e.windowStart + kWindowSeconds && now >= e.lockedUntil) {
        e.windowStart = now;
        e.attempts = 0;
        e.lockedUntil = 0;
        e.logged = false;
    }
    e.lastSeen = now;
}

}  // namespace

ThrottleVerdict AdmitLogin(const std::string& dataDirectory, const std::string& sessionFile,
                           const std::string& forwarded, const std::string& connecting,
                           std::time_t now) {
    ThrottleVerdict verdict;
    LockedCounts counts(dataDirectory, sessionFile);
    if (dataDirectory.empty() || !counts.ok()) {
        return verdict;
    }
    const std::uint64_t at = static_cast<std::uint64_t>(now);
    Entry& pair = counts.Find(PairKey(forwarded, connecting), at);
    Refresh(pair, at);
    Entry& connection = counts.Find(kConnectionPrefix + Clean(connecting), at);
    Refresh(connection, at);
    Entry* locked = pair.lockedUntil > at         ? &pair
                    : connection.lockedUntil > at ? &connection
                                                  : nullptr;
    if (locked != nullptr) {
        verdict.outcome = ThrottleVerdict::Outcome::kLockedOut;
        verdict.retryAt = static_cast<std::time_t>(locked->lockedUntil);
        verdict.firstOfWindow = !locked->logged;
        locked->logged = true;
        return counts.Save() ? verdict : ThrottleVerdict();
    }
    ++pair.attempts;
    ++connection.attempts;
    // The attempt that reaches the limit is still compared; the next one waits.
    if (pair.attempts >= kMaxRefusals) {
        pair.lockedUntil = at + kWindowSeconds;
    }
    if (connection.attempts >= kMaxRefusalsPerConnection) {
        connection.lockedUntil = at + kWindowSeconds;
    }
    if (!counts.Save()) {
        return verdict;
    }
    verdict.outcome = ThrottleVerdict::Outcome::kAdmitted;
    return verdict;
}

bool ClearLogins(const std::string& dataDirectory, const std::string& sessionFile,
                 const std::string& forwarded, const std::string& connecting, std::time_t now) {
    LockedCounts counts(dataDirectory, sessionFile);
    if (dataDirectory.empty() || !counts.ok()) {
        return false;
    }
    counts.Remove(PairKey(forwarded, connecting));
    // The connection's own count keeps the attempts of other pairs; this one's is taken back.
    Entry& connection = counts.Find(kConnectionPrefix + Clean(connecting), now);
    if (connection.attempts > 0) {
        --connection.attempts;
    }
    if (connection.attempts < kMaxRefusalsPerConnection) {
        connection.lockedUntil = 0;
    }
    return counts.Save();
}
