// Where the server keeps its data: one default value in the machine registry, itself kept
// scrambled, under a key whose path the programs also keep scrambled.
#pragma once

#include <optional>
#include <string>

class Registry;

// The key under HKEY_CLASSES_ROOT whose default value is the scrambled data directory, in
// plain text (installers write it; the programs keep only its scrambled form).
std::string DataDirectoryKey();

// Reads the data directory: nothing when the registry value cannot be read, otherwise its
// descrambled text, ending with "/" when not empty (empty: defined but not set). The caller
// caches a successful result.
std::optional<std::string> ReadDataDirectory(Registry& registry);

// Appends the directory separator when the text does not end with one.
std::string WithTrailingSlash(std::string directory);
