// Module files looked up in the private folder first, then beside the caller's shared object.
#include "inet/dialog/ModuleFolder.h"

#include <dlfcn.h>
#include <unistd.h>

namespace inet {

std::string ModuleFilePath(const void* anchor, const char* file) {
    Dl_info info{};
    if (dladdr(anchor, &info) == 0 || info.dli_fname == nullptr) {
        return file;
    }
    const std::string path = info.dli_fname;
    const std::string::size_type slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
    const std::string privateFile = folder + "quarinet/" + file;
    return ::access(privateFile.c_str(), F_OK) == 0 ? privateFile : folder + file;
}

}  // namespace inet
