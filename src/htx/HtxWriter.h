// The optional receiver of a template's output.
#pragma once

#include <cstddef>
#include <functional>

// Receives the output of a processing run in pieces (text, length); the text is only valid
// during the call and may hold any byte, NUL included.
using HtxWriter = std::function<void(const char* text, std::size_t length)>;
