#include "admin/LogViewerPaging.h"

std::int32_t BoundedLogPageSize(std::int64_t requested) {
    if (requested <= kMinLogPageSize) {
        return kMinLogPageSize;
    }
    if (requested > kMaxLogPageSize) {
        return kMaxLogPageSize;
    }
    return static_cast<std::int32_t>(requested);
}

std::int64_t TopLineAfterButton(std::string_view button, std::int64_t topLine, std::int64_t entries,
                                std::int32_t pageSize) {
    if (button == "First") {
        topLine = 0;
    } else if (button == "Last") {
        topLine = entries - pageSize;
    } else if (button == "<<") {
        topLine -= pageSize;
    } else if (button == ">>") {
        topLine += pageSize;
    } else if (button != "Read" && button != "Clear Log File") {
        topLine = 0;
    }
    if (topLine > entries - pageSize) {
        topLine = entries - pageSize;
    }
    return topLine < 0 ? 0 : topLine;
}

LogPageNumbers PageNumbersOf(std::int64_t entries, std::int64_t topLine, std::int32_t pageSize) {
    LogPageNumbers numbers;
    numbers.pages = (entries + pageSize - 1) / pageSize;
    numbers.current = (topLine + 2 * std::int64_t{pageSize} - 1) / pageSize;
    numbers.backDisabled = numbers.current <= 1;
    numbers.forwardDisabled = numbers.current >= numbers.pages;
    return numbers;
}
