// Base64 with the standard alphabet and "=" padding, as the stored proxy password and the proxy
// authorization line use it.
#pragma once

#include <cstddef>

#include <string>

namespace inet {

// The Base64 text of the `size` bytes at `data`; a final group of one or two bytes gives two or
// three characters followed by "==" or "=".
std::string Base64Encode(const char* data, size_t size);

// Decodes `text`: leading blanks and tabs are skipped, then the run of alphabet characters is
// decoded up to the first other character ("=", the end, anything else); a final incomplete
// group gives the bytes it holds. At most `limit` bytes are produced.
std::string Base64Decode(const char* text, size_t limit);

}  // namespace inet
