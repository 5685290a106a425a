// Copying an edit field's text into a fixed buffer of the library's records.
#pragma once

#include <cstddef>

namespace inet {

// Copies `text` into `out` of `size` bytes (size > 0), cut to at most size - 1 bytes and never
// inside a UTF-8 sequence, so that a cut never leaves half a character behind. Null `text`
// stores "".
void CopyFieldText(char* out, size_t size, const char* text);

// The value of a digits-only field: the unsigned 32-bit number that `text` spells, or 0 when
// `text` is empty, holds anything but the digits 0-9, or exceeds 4294967295.
unsigned ParseFieldNumber(const char* text);

}  // namespace inet
