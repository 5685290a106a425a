#include "runtime/ProgramDirectory.h"

std::string ProgramDirectory(const char* argv0) {
    const std::string path = argv0 ? argv0 : "";
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) {
        return std::string();
    }
    return path.substr(0, slash + 1);
}
