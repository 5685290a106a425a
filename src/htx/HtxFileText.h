// Reading a whole prototype or include file into memory.
#pragma once

#include <string>

enum class HtxFileStatus { Ok, CannotOpen, ReadFailed, NoMemory };

// Reads the whole file named (relative to the working directory) into text. Only regular files
// are read: a directory, a pipe or a device counts as a file that cannot be opened, so that a
// template can neither hang on a pipe nor read an endless device.
HtxFileStatus ReadFileText(const std::string& name, std::string& text);
