#include "htx/HtxFileText.h"

HtxFileStatus ReadFileText(const HtxFileSource& source, const std::string& name,
                           std::shared_ptr<const std::string>& text) {
    ReadFailure failure = ReadFailure::kCannotOpen;
    constexpr std::size_t kAnySize = static_cast<std::size_t>(-1);
    if (source) {
        text = source(name, kAnySize, &failure);
    } else if (std::optional<std::string> content = ReadWholeFile(name, kAnySize, true, &failure)) {
        text = std::make_shared<const std::string>(std::move(*content));
    } else {
        text = nullptr;
    }
    if (text) {
        return HtxFileStatus::Ok;
    }
    switch (failure) {
        case ReadFailure::kCannotOpen:
            return HtxFileStatus::CannotOpen;
        case ReadFailure::kNoMemory:
        case ReadFailure::kTooLarge:  // more than memory can hold
            return HtxFileStatus::NoMemory;
        case ReadFailure::kReadFailed:
            break;
    }
    return HtxFileStatus::ReadFailed;
}
