// Text searches shared by the header, MIME and content functions. Letter case is compared by
// upper-casing ASCII letters only, independent of the process locale.
#pragma once

#include <cstddef>

namespace inet {

// The first position of `name` in the NUL-terminated `text`, letters compared without case; null
// when absent. An empty name is found at the start.
const char* FindNoCase(const char* text, const char* name);
char* FindNoCase(char* text, const char* name);

// The first line of the header block `block` that begins with `name` (letters compared without
// case): at the start of the block or right after a line feed. Null when there is none, so a
// name inside a longer name or inside a value is not found.
const char* FindHeaderLine(const char* block, const char* name);
char* FindHeaderLine(char* block, const char* name);

// Whether `text` begins with `prefix`, letters compared without case.
bool StartsWithNoCase(const char* text, const char* prefix);

// The first occurrence of `pattern` (of `patternLength` bytes) in the `length` bytes at `data`,
// or null.
const char* FindBytes(const char* data, size_t length, const char* pattern, size_t patternLength);

}  // namespace inet
