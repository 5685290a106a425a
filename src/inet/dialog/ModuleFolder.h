// Where the library and its platform internet library layer find the modules they open by name
// at run time (the layer itself, the window host).
#pragma once

#include <string>

namespace inet {

// The path of the module file `file`: in the private folder "quarinet/" beside the shared object
// that holds the code at `anchor` when the file is there (an installed library), else beside that
// shared object (a build tree, or a module that itself lies in the private folder); `file` alone
// when the shared object is unknown.
std::string ModuleFilePath(const void* anchor, const char* file);

}  // namespace inet
