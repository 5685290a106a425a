#include "eventlog/MessageCatalogue.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "archive/CException.h"
#include "platform/Env.h"

namespace {

constexpr std::string_view kCategoryMarker = "=CATEGORY";
// Room for the codes of the catalogue as installed; a longer one grows as a vector does.
constexpr std::size_t kUsualEntries = 32;

// A file another process holds without sharing is retried a few times before giving up.
constexpr int kSharingRetries = 10;
constexpr auto kSharingRetryWait = std::chrono::milliseconds(200);

// POSIX has no share modes, so no open fails for a sharing violation; the retry stays for
// file systems that enforce them.
constexpr bool IsSharingViolation(int) {
    return false;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsWhiteSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsWhiteSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string ReadErrorWarning(const std::string& path, int error) {
    std::string text = std::strerror(error);
    if (text.size() > kMaxErrorText) {
        text.resize(kMaxErrorText);
    }
    return "Error read message description file " + path + ", error " + std::to_string(error) +
           " (" + text + ")";
}

}  // namespace

std::string MessageCatalogue::Load(Env& env, const std::string& path) {
    // One read on the common path; the reasons of a failure are asked after it.
    ReadFailure failure = ReadFailure::kCannotOpen;
    std::shared_ptr<const std::string> content;
    for (int attempt = 0;; ++attempt) {
        content = env.ReadSharedFile(path, static_cast<std::size_t>(-1), &failure);
        if (content || failure != ReadFailure::kCannotOpen || !IsSharingViolation(errno) ||
            attempt == kSharingRetries) {
            break;
        }
        std::this_thread::sleep_for(kSharingRetryWait);
    }
    if (!content) {
        const int error = errno;
        struct stat st;
        if (failure == ReadFailure::kCannotOpen && ::stat(path.c_str(), &st) != 0) {
            return "No message description file (" + path + ").";
        }
        if (failure == ReadFailure::kCannotOpen && st.st_size == 0) {
            return "Invalid message description file (" + path + ").";
        }
        return ReadErrorWarning(path, error);
    }
    if (content->empty()) {
        return "Invalid message description file (" + path + ").";
    }
    Adopt(std::move(content));
    return {};
}

void MessageCatalogue::Parse(std::string_view content) {
    Adopt(std::make_shared<const std::string>(content));
}

void MessageCatalogue::Adopt(std::shared_ptr<const std::string> content) {
    // Codes and texts are views into the file's text, sorted once: read at every request, the
    // catalogue costs its index and no copy of the text, which it shares with whoever read it.
    std::vector<Coded> entries;
    entries.reserve(kUsualEntries);
    std::vector<std::string> categoryNames;
    int category = -1;
    std::string_view rest = *content;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = Trim(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        std::size_t codeEnd = 0;
        while (codeEnd < line.size() && !IsBlank(line[codeEnd])) {
            ++codeEnd;
        }
        const std::string_view code = line.substr(0, codeEnd);
        std::string_view message = line.substr(codeEnd);
        while (!message.empty() && IsBlank(message.front())) {
            message.remove_prefix(1);
        }
        if (code == kCategoryMarker) {
            // Counts past the last kept title, so that later messages get no category.
            if (category < kMaxCategories) {
                ++category;
            }
            if (category < kMaxCategories) {
                categoryNames.emplace_back(message);
            }
            continue;
        }
        entries.push_back(
            Coded{code, MessageEntry{message, category < kMaxCategories ? category : -1}});
    }
    // A repeated code keeps its last line: after a stable sort that is the last of its run.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Coded& a, const Coded& b) { return a.code < b.code; });
    auto kept = entries.begin();
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        const auto next = it + 1;
        if (next == entries.end() || next->code != it->code) {
            *kept++ = *it;
        }
    }
    entries.erase(kept, entries.end());
    content_ = std::move(content);
    entries_ = std::move(entries);
    categoryNames_ = std::move(categoryNames);
}

const MessageEntry* MessageCatalogue::Find(std::string_view code) const {
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), code,
                                     [](const Coded& a, std::string_view b) { return a.code < b; });
    return it == entries_.end() || it->code != code ? nullptr : &it->entry;
}

int MessageCatalogue::CategoryOf(std::string_view code) const {
    const MessageEntry* entry = Find(code);
    return entry == nullptr ? -1 : entry->category;
}
