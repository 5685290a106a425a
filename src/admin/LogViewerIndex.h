// The entries of the event log that the viewer shows, in the order it shows them. Each entry
// is kept as the file offset of its line only; the display text is made again from the file
// for the entries of one page.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class MessageCatalogue;

// What the viewer's stored choices select.
struct LogViewSelection {
    bool groupByCategory = false;  // else newest first
    std::uint32_t hiddenMask = 0;  // bit i: entries of category i are left out
    std::string productFilter;     // upper case; an entry's field must contain it (any case)
    std::string userFilter;        // when not empty
    std::string computerFilter;
};

// Offsets of one group of entries, added in ascending order (file order). Each is kept in 4
// bytes as the distance from the first offset of its block; blocks are fixed arrays, so growing
// never copies and touches no more memory than the entries need.
class LogOffsetList {
  public:
    // `offset` is not below any offset added before.
    void Add(std::uint64_t offset);
    std::size_t size() const { return size_; }
    // `index` < size().
    std::uint64_t operator[](std::size_t index) const;

  private:
    static constexpr std::size_t kBlockEntries = 16384;
    struct Block {
        std::uint64_t base = 0;  // the block's first offset
        std::size_t first = 0;   // index of the block's first entry
        std::size_t count = 0;
        std::unique_ptr<std::uint32_t[]> distances;
    };
    std::vector<Block> blocks_;
    std::size_t size_ = 0;
};

// Collects the lines of the event log (given in file order) that the selection keeps.
// Blank lines hold no event and are skipped. The catalogue must outlive the index.
class LogViewIndex {
  public:
    static constexpr int kCategories = 8;

    LogViewIndex(const MessageCatalogue& catalogue, LogViewSelection selection);

    // One line of the file, as read (surrounding white space and line end allowed), starting
    // at `offset`.
    void Add(std::uint64_t offset, std::string_view line);

    // Number of entries shown.
    std::size_t size() const;
    // The line offset of the entry at `index` (0 = first shown) of the display order: newest
    // first; when grouping, category 7 down to 0, then the entries without a category, each
    // group newest first.
    std::uint64_t OffsetAt(std::size_t index) const;

    // The category whose group holds the entry at `index` when grouping (0 to 7); -1 for the
    // entries without a category, and for every entry when sorting by date.
    int GroupAt(std::size_t index) const;

    // Forgets every entry.
    void Clear();

  private:
    // The catalogue category of a code (-1: none), remembered for the codes seen most.
    int CategoryOf(std::string_view code);

    struct CachedCode {
        std::string code;
        int category = -1;
        bool used = false;
    };
    static constexpr std::size_t kCacheSlots = 256;  // a power of two

    const MessageCatalogue& catalogue_;
    LogViewSelection selection_;
    bool filtering_;
    // Groups 0 to 7 hold the entries of those categories when grouping; the last holds the
    // entries without category, or every entry when sorting by date.
    std::array<LogOffsetList, kCategories + 1> groups_;
    std::vector<CachedCode> cache_;
    std::string codeKey_;  // reused for catalogue look-ups
};

// White space removed from both ends of a log line, as the viewer reads it.
std::string_view TrimLogLine(std::string_view line);
// ASCII letters in upper case, other bytes unchanged, as the viewer's filters compare.
std::string UpperCaseFilter(std::string_view text);
