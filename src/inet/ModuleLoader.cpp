#include "inet/ModuleLoader.h"

#include <dlfcn.h>
#include <strings.h>
#include <cstdlib>

#include <set>

#include "inet/SocketAdapter.h"
#include "inet/dialog/ModuleFolder.h"
#include "platform/FailurePoint.h"

namespace inet {
namespace {

// What $QUAR_HIDE_MODULES hides: whole modules ("MODULE") and entry points ("MODULE!entry").
std::set<std::string> HiddenNames() {
    std::set<std::string> hidden;
    const char* list = std::getenv("QUAR_HIDE_MODULES");
    std::string text = list != nullptr ? list : "";
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = text.find(',', start);
        const size_t end = comma == std::string::npos ? text.size() : comma;
        if (end > start) {
            hidden.insert(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return hidden;
}

// An entry point that the loader does not find: named in $QUAR_HIDE_MODULES, or failed by a test.
bool Hidden(const std::string& module, const char* entry, const std::set<std::string>& hidden) {
    return failure_point::Fails(FailureSite::kModule) || hidden.count(module + "!" + entry) != 0;
}

class BuiltinModule : public Module {
  public:
    BuiltinModule(std::string name, std::set<std::string> hidden)
        : name_(std::move(name)), hidden_(std::move(hidden)) {}
    void* Lookup(const char* entry) const override {
        return Hidden(name_, entry, hidden_) ? nullptr : FindSocketEntryPoint(entry);
    }

  private:
    std::string name_;
    std::set<std::string> hidden_;
};

class SharedObjectModule : public Module {
  public:
    SharedObjectModule(std::string name, void* handle, std::set<std::string> hidden)
        : name_(std::move(name)), handle_(handle), hidden_(std::move(hidden)) {}
    ~SharedObjectModule() override { dlclose(handle_); }
    void* Lookup(const char* entry) const override {
        return Hidden(name_, entry, hidden_) ? nullptr : dlsym(handle_, entry);
    }

  private:
    std::string name_;
    void* handle_;
    std::set<std::string> hidden_;
};

std::string SharedObjectPath(const std::string& name) {
    if (strcasecmp(name.c_str(), "WININET.DLL") != 0) {
        return name;
    }
    if (const char* path = std::getenv("QUAR_WININET_MODULE"); path != nullptr && *path != '\0') {
        return path;
    }
    return ModuleFilePath(reinterpret_cast<const void*>(&LoadModule), "libquarwininet.so");
}

}  // namespace

std::unique_ptr<Module> LoadModule(const std::string& name) {
    std::set<std::string> hidden = HiddenNames();
    if (failure_point::Fails(FailureSite::kModule) || hidden.count(name) != 0) {
        return nullptr;
    }
    if (strcasecmp(name.c_str(), "WSOCK32.DLL") == 0) {
        return std::make_unique<BuiltinModule>(name, std::move(hidden));
    }
    void* handle = dlopen(SharedObjectPath(name).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        return nullptr;
    }
    return std::make_unique<SharedObjectModule>(name, handle, std::move(hidden));
}

}  // namespace inet
