// Holds a buffer that the library handed out and releases it with QuarInetFree.
#pragma once

#include <memory>

#include "QuarInet.h"

struct LibraryFree {
    void operator()(void* block) const { QuarInetFree(block); }
};

template <typename T>
using LibraryBuffer = std::unique_ptr<T, LibraryFree>;
