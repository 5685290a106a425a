#include "htx/HtxFileText.h"

#include "platform/FileUtil.h"

HtxFileStatus ReadFileText(const std::string& name, std::string& text) {
    ReadFailure failure = ReadFailure::kCannotOpen;
    std::optional<std::string> content =
        ReadWholeFile(name, static_cast<std::size_t>(-1), true, &failure);
    if (content) {
        text = std::move(*content);
        return HtxFileStatus::Ok;
    }
    std::string().swap(text);
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
