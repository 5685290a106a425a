#include "eventlog/MessageCatalogue.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "archive/CException.h"
#include "platform/FileUtil.h"

namespace {

constexpr std::string_view kCategoryMarker = "=CATEGORY";

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

UniqueFd OpenSharedForReading(const std::string& path) {
    for (int attempt = 0;; ++attempt) {
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (fd || !IsSharingViolation(errno) || attempt == kSharingRetries) {
            return fd;
        }
        std::this_thread::sleep_for(kSharingRetryWait);
    }
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

std::string MessageCatalogue::Load(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        return "No message description file (" + path + ").";
    }
    if (st.st_size == 0) {
        return "Invalid message description file (" + path + ").";
    }
    UniqueFd fd = OpenSharedForReading(path);
    std::optional<std::string> content;
    if (!fd || !(content = ReadOpenFile(fd.get()))) {
        return ReadErrorWarning(path, errno);
    }
    fd.close();
    Parse(*content);
    return {};
}

void MessageCatalogue::Parse(std::string_view content) {
    entries_.clear();
    categoryNames_.clear();
    int category = -1;
    while (!content.empty()) {
        const std::size_t end = content.find('\n');
        std::string_view line = Trim(content.substr(0, end));
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        std::size_t codeEnd = 0;
        while (codeEnd < line.size() && !IsBlank(line[codeEnd])) {
            ++codeEnd;
        }
        std::string_view code = line.substr(0, codeEnd);
        std::string_view text = line.substr(codeEnd);
        while (!text.empty() && IsBlank(text.front())) {
            text.remove_prefix(1);
        }
        if (code == kCategoryMarker) {
            // Counts past the last kept title, so that later messages get no category.
            if (category < kMaxCategories) {
                ++category;
            }
            if (category < kMaxCategories) {
                categoryNames_.emplace_back(text);
            }
            continue;
        }
        MessageEntry& entry = entries_[std::string(code)];
        entry.text = std::string(text);
        entry.category = category < kMaxCategories ? category : -1;
    }
}

const MessageEntry* MessageCatalogue::Find(const std::string& code) const {
    const auto it = entries_.find(code);
    return it == entries_.end() ? nullptr : &it->second;
}

int MessageCatalogue::CategoryOf(const std::string& code) const {
    const MessageEntry* entry = Find(code);
    return entry == nullptr ? -1 : entry->category;
}
