#include "admin/LogViewerIndex.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "eventlog/MessageCatalogue.h"

namespace {

// Columns of a log line, counted from 0: code, time, short time, client address, proxy
// address, user, computer, product, message.
constexpr int kUserColumn = 5;
constexpr int kComputerColumn = 6;
constexpr int kProductColumn = 7;
// The group of entries without a category (and of every entry when sorting by date).
constexpr int kUngrouped = LogViewIndex::kCategories;
// How far a code's cache slot may lie from its home slot.
constexpr std::size_t kCacheProbes = 8;

bool IsWhiteSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

char UpperCase(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// True when `upperNeedle` occurs in `field` compared in upper case.
bool ContainsUpperCase(std::string_view field, std::string_view upperNeedle) {
    if (upperNeedle.size() > field.size()) {
        return false;
    }
    const std::size_t last = field.size() - upperNeedle.size();
    for (std::size_t start = 0; start <= last; ++start) {
        std::size_t i = 0;
        while (i < upperNeedle.size() && UpperCase(field[start + i]) == upperNeedle[i]) {
            ++i;
        }
        if (i == upperNeedle.size()) {
            return true;
        }
    }
    return false;
}

// The text of column `column` of a trimmed line: the columns before the message end at a tab
// (the message is the rest of the line); a missing column is empty.
struct LineColumns {
    explicit LineColumns(std::string_view line) {
        for (int column = 0; column <= kProductColumn; ++column) {
            const std::size_t tab = line.find('\t');
            texts[column] = line.substr(0, tab);
            if (tab == std::string_view::npos) {
                return;
            }
            line.remove_prefix(tab + 1);
        }
    }
    std::string_view texts[kProductColumn + 1];
};

// True when a stored filter lets the field through.
bool Passes(const std::string& filter, std::string_view field) {
    return filter.empty() || ContainsUpperCase(field, filter);
}

std::uint32_t HashCode(std::string_view code) {
    std::uint32_t hash = 2166136261u;
    for (char c : code) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    return hash;
}

}  // namespace

std::string_view TrimLogLine(std::string_view line) {
    while (!line.empty() && IsWhiteSpace(line.front())) {
        line.remove_prefix(1);
    }
    while (!line.empty() && IsWhiteSpace(line.back())) {
        line.remove_suffix(1);
    }
    return line;
}

std::string UpperCaseFilter(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        c = UpperCase(c);
    }
    return upper;
}

void LogOffsetList::Add(std::uint64_t offset) {
    if (blocks_.empty() || blocks_.back().count == kBlockEntries ||
        offset - blocks_.back().base > std::numeric_limits<std::uint32_t>::max()) {
        Block block;
        block.base = offset;
        block.first = size_;
        // Left uninitialised: only the entries written are ever touched.
        block.distances.reset(new std::uint32_t[kBlockEntries]);
        blocks_.push_back(std::move(block));
    }
    Block& block = blocks_.back();
    block.distances[block.count++] = static_cast<std::uint32_t>(offset - block.base);
    ++size_;
}

std::uint64_t LogOffsetList::operator[](std::size_t index) const {
    // The last block that starts at or before the index.
    const auto after = std::upper_bound(
        blocks_.begin(), blocks_.end(), index,
        [](std::size_t wanted, const Block& block) { return wanted < block.first; });
    const Block& block = *(after - 1);
    return block.base + block.distances[index - block.first];
}

LogViewIndex::LogViewIndex(const MessageCatalogue& catalogue, LogViewSelection selection)
    : catalogue_(catalogue),
      selection_(std::move(selection)),
      filtering_(!selection_.productFilter.empty() || !selection_.userFilter.empty() ||
                 !selection_.computerFilter.empty()),
      cache_(kCacheSlots) {}

int LogViewIndex::CategoryOf(std::string_view code) {
    const std::size_t home = HashCode(code) & (kCacheSlots - 1);
    for (std::size_t probe = 0; probe < kCacheProbes; ++probe) {
        CachedCode& slot = cache_[(home + probe) & (kCacheSlots - 1)];
        if (slot.used && slot.code == code) {
            return slot.category;
        }
        if (!slot.used) {
            slot.used = true;
            slot.code.assign(code);
            slot.category = catalogue_.CategoryOf(slot.code);
            return slot.category;
        }
    }
    // A log of many different codes: look the rest up each time.
    codeKey_.assign(code);
    return catalogue_.CategoryOf(codeKey_);
}

void LogViewIndex::Add(std::uint64_t offset, std::string_view line) {
    line = TrimLogLine(line);
    if (line.empty()) {
        return;
    }
    if (filtering_) {
        const LineColumns columns(line);
        if (!Passes(selection_.productFilter, columns.texts[kProductColumn]) ||
            !Passes(selection_.userFilter, columns.texts[kUserColumn]) ||
            !Passes(selection_.computerFilter, columns.texts[kComputerColumn])) {
            return;
        }
    }
    const int category = CategoryOf(line.substr(0, line.find('\t')));
    int group = kUngrouped;
    if (category >= 0 && category < kCategories) {
        if (selection_.hiddenMask & (1u << category)) {
            return;
        }
        if (selection_.groupByCategory) {
            group = category;
        }
    }
    groups_[group].Add(offset);
}

std::size_t LogViewIndex::size() const {
    std::size_t total = 0;
    for (const LogOffsetList& group : groups_) {
        total += group.size();
    }
    return total;
}

std::uint64_t LogViewIndex::OffsetAt(std::size_t index) const {
    // Category 7 first, down to 0, then the ungrouped entries.
    for (int group = kCategories - 1;; --group) {
        const LogOffsetList& list = groups_[group < 0 ? kUngrouped : group];
        if (index < list.size()) {
            return list[list.size() - 1 - index];
        }
        index -= list.size();
        if (group < 0) {
            return 0;  // beyond the last entry; callers stay below size()
        }
    }
}

int LogViewIndex::GroupAt(std::size_t index) const {
    for (int group = kCategories - 1; group >= 0; --group) {
        const std::size_t count = groups_[group].size();
        if (index < count) {
            return group;
        }
        index -= count;
    }
    return -1;
}

void LogViewIndex::Clear() {
    for (LogOffsetList& group : groups_) {
        group = LogOffsetList();
    }
}
