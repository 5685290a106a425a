#include "inet/FormatMessage.h"

#include <cstring>

namespace inet {
namespace {

struct SystemMessage {
    uint32_t code;
    const char* text;
};

// The platform's texts for the system codes that the library returns itself (success, an
// invalid handle, a buffer that could not grow, invalid data, an invalid parameter).
constexpr SystemMessage kSystemMessages[] = {
    {0, "The operation completed successfully."},
    {6, "The handle is invalid."},
    {8, "Not enough memory resources are available to process this command."},
    {13, "The data is invalid."},
    {87, "The parameter is incorrect."},
};

}  // namespace

uint32_t FormatMessageA(uint32_t flags, const void* /*source*/, uint32_t messageId,
                        uint32_t /*languageId*/, char* buffer, uint32_t size, void* /*arguments*/) {
    if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || buffer == nullptr) {
        return 0;
    }
    for (const SystemMessage& message : kSystemMessages) {
        if (message.code != messageId) {
            continue;
        }
        size_t length = std::strlen(message.text);
        if (length >= size) {
            return 0;
        }
        std::memcpy(buffer, message.text, length + 1);
        return static_cast<uint32_t>(length);
    }
    return 0;
}

}  // namespace inet
