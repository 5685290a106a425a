// The boundary of a multipart body: made for new bodies, read from a content type for received
// ones.
#pragma once

#include <cstddef>
#include <cstdint>

#include "QuarInet.h"

namespace inet {

// Room for a Content-type value as the multipart functions read it, with its NUL.
constexpr size_t kContentTypeRoom = 256;

// "08" and the tick count in upper-case hexadecimal: at most 10 characters.
constexpr size_t kBoundaryRoom = 11;

// Writes into `boundary` the boundary for the tick count `tick`.
void FormatBoundary(uint32_t tick, char (&boundary)[kBoundaryRoom]);

// Reads the "boundary" parameter (name in any letter case) of a Content-type value into `out` of
// `size` bytes: a quoted string (quotes removed, backslash escapes resolved) or a run of the
// characters a boundary may hold, which excludes the blank. Returns false when the value has no
// boundary parameter, the boundary is empty, does not fit, holds a character no boundary may
// hold, or its quotes are not closed.
bool ReadBoundaryParameter(const char* contentType, char* out, size_t size);

}  // namespace inet
