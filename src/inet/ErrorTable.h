// The library's own texts for Windows Sockets and WinInet result codes.
#pragma once

#include <cstdint>

namespace inet {

// The constant text for `code`, or null when the code is in neither table.
const char* FindErrorText(uint32_t code);

}  // namespace inet
