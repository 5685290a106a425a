#include <cstdio>

#include "QuarInet.h"
#include "inet/ErrorTable.h"
#include "inet/FormatMessage.h"

namespace {

// The language argument that asks for the user's default language.
constexpr uint32_t kUserDefaultLanguage = 0x400;

// Texts of codes outside the tables, one buffer per thread: a call overwrites only the text of
// the previous such call on the same thread.
thread_local char gMessageBuffer[1024];

}  // namespace

const char* QuarInetGetErrorDescription(uint32_t code) {
    if (const char* text = inet::FindErrorText(code)) {
        return text;
    }
    if (inet::FormatMessageA(inet::FORMAT_MESSAGE_FROM_SYSTEM | inet::FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, kUserDefaultLanguage, gMessageBuffer,
                             sizeof gMessageBuffer, nullptr) == 0) {
        std::snprintf(gMessageBuffer, sizeof gMessageBuffer, "Error 0x%X has occured", code);
    }
    return gMessageBuffer;
}
