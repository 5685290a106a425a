// The platform's system message lookup, reduced to what the library asks of it: the text of a
// system error code. Only the codes that the library itself produces have a message here.
#pragma once

#include <cstdint>

namespace inet {

constexpr uint32_t FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr uint32_t FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;

// Writes the system message for `messageId` into `buffer` of `size` bytes and returns its length
// without the NUL; returns 0 (buffer untouched) when there is no message, when `flags` lacks
// FORMAT_MESSAGE_FROM_SYSTEM, or when the message does not fit. `source`, `languageId` and
// `arguments` are accepted for the platform's signature and not used.
uint32_t FormatMessageA(uint32_t flags, const void* source, uint32_t messageId, uint32_t languageId,
                        char* buffer, uint32_t size, void* arguments);

}  // namespace inet
