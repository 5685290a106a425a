// Reading a whole prototype or include file into memory.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/FileUtil.h"

enum class HtxFileStatus { Ok, CannotOpen, ReadFailed, NoMemory };

// Where a processor's prototype and include files come from: the whole text of the file named
// (relative to the working directory), or null with the reason in `failure`, as
// ReadWholeFile(name, maxBytes, true, failure) gives them.
using HtxFileSource = std::function<std::shared_ptr<const std::string>(
    const std::string& name, std::size_t maxBytes, ReadFailure* failure)>;

// Reads the whole file named through `source`, or from the file system when it is empty. Only
// regular files are read: a directory, a pipe or a device counts as a file that cannot be
// opened, so that a template can neither hang on a pipe nor read an endless device.
HtxFileStatus ReadFileText(const HtxFileSource& source, const std::string& name,
                           std::shared_ptr<const std::string>& text);
