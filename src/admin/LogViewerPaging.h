// The paging arithmetic of the log viewer: page size bounds, the top line after a button, and
// the page numbers and button states that the page shows.
#pragma once

#include <cstdint>
#include <string_view>

inline constexpr std::int32_t kMinLogPageSize = 10;
inline constexpr std::int32_t kMaxLogPageSize = 200;

// A requested page size within kMinLogPageSize to kMaxLogPageSize.
std::int32_t BoundedLogPageSize(std::int64_t requested);

// The top line (index of the first entry shown, from 0) after the button "vl_butt" of a log of
// `entries` entries shown `pageSize` at a time: "First" goes to 0, "Last" to the last full page,
// "<<" and ">>" one page back and on, "Read" and "Clear Log File" keep `topLine` (the cleared
// log has no entries left); any other value, or none, goes to 0. The result is then kept within
// the log: never past the last full page, never below 0.
std::int64_t TopLineAfterButton(std::string_view button, std::int64_t topLine, std::int64_t entries,
                                std::int32_t pageSize);

// What the paging controls show for a top line.
struct LogPageNumbers {
    std::int64_t pages = 0;        // (entries + size - 1) div size
    std::int64_t current = 0;      // (top line + 2 size - 1) div size
    bool backDisabled = false;     // "First" and "<<": current page 1 or less
    bool forwardDisabled = false;  // ">>" and "Last": current page not below the number of pages
};
LogPageNumbers PageNumbersOf(std::int64_t entries, std::int64_t topLine, std::int32_t pageSize);
