// Modules opened by name and their entry points looked up by name, as the transports bind the
// platform's socket and internet libraries at run time.
//
// "WSOCK32.DLL" is built into the library (the socket adapter). "WININET.DLL" is the platform
// internet library layer: $QUAR_WININET_MODULE, else libquarwininet.so in the private module
// folder quarinet/ beside libQuarInet.so, else beside it (ModuleFolder.h).
// $QUAR_HIDE_MODULES hides modules or single entry points from the loader, for tests of the
// paths where they are missing: a comma-separated list of "MODULE" or "MODULE!entry".
#pragma once

#include <memory>
#include <string>

namespace inet {

class Module {
  public:
    virtual ~Module() = default;
    // The entry point `name`, or null when the module lacks it.
    virtual void* Lookup(const char* name) const = 0;
};

// The module `name`, or null when it cannot be loaded.
std::unique_ptr<Module> LoadModule(const std::string& name);

}  // namespace inet
