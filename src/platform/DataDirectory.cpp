#include "platform/DataDirectory.h"

#include "platform/Registry.h"
#include "platform/Scramble.h"

namespace {
// The key path is compiled in scrambled form only.
constexpr ScrambledLiteral kScrambledKey("QuarNbx\\DataDirectory");
constexpr long kValueBufferSize = 1024;
}  // namespace

std::string DataDirectoryKey() {
    return descramble(kScrambledKey.text);
}

std::optional<std::string> ReadDataDirectory(Registry& registry) {
    const std::string key = DataDirectoryKey();
    char buffer[kValueBufferSize];
    long size = kValueBufferSize;
    if (RegQueryValueA(registry, Hive::ClassesRoot, key.c_str(), buffer, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::string directory = descramble(buffer);
    return directory.empty() ? directory : WithTrailingSlash(std::move(directory));
}

std::string WithTrailingSlash(std::string directory) {
    if (directory.empty() || directory.back() != '/') {
        directory += '/';
    }
    return directory;
}
