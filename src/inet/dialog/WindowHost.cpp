// Showing a dialog model through the window host module, which the library loads only when a
// display exists, so that the library itself never links a toolkit.
#include <dlfcn.h>
#include <cstdlib>

#include <memory>
#include <string>

#include "inet/dialog/DialogModel.h"
#include "inet/dialog/DialogResult.h"
#include "inet/dialog/ModuleFolder.h"

namespace inet {
namespace {

bool DisplayAvailable() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

// The host module: the path in QUAR_WINDOW_HOST_MODULE, else the file in the private module
// folder of the shared object that holds this code, or beside it.
std::string HostModulePath() {
    const char* named = std::getenv("QUAR_WINDOW_HOST_MODULE");
    if (named && *named) {
        return named;
    }
    return ModuleFilePath(reinterpret_cast<const void*>(&DisplayAvailable), QUAR_WINDOW_HOST_FILE);
}

struct ModuleCloser {
    void operator()(void* module) const { dlclose(module); }
};

// The C face of a model, for the host.
int NotifyModel(void* context, int id, int notification, const char* text) {
    return static_cast<DialogModel*>(context)->Notify(id, notification, text);
}
int ModelEnabled(void* context, int id) {
    return static_cast<DialogModel*>(context)->Enabled(id) ? 1 : 0;
}
int ModelChecked(void* context, int id) {
    return static_cast<DialogModel*>(context)->Checked(id) ? 1 : 0;
}
const char* ModelText(void* context, int id) {
    return static_cast<DialogModel*>(context)->Text(id);
}

}  // namespace

int RunDialog(DialogModel& model, void* parent) {
    if (!DisplayAvailable()) {
        return DialogCancel;
    }
    // The toolkit cannot be unloaded safely once started: the module stays for the process.
    std::unique_ptr<void, ModuleCloser> module(
        dlopen(HostModulePath().c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE));
    if (!module) {
        return DialogCancel;
    }
    auto run = reinterpret_cast<QuarWindowHostRunFn>(dlsym(module.get(), QUAR_WINDOW_HOST_ENTRY));
    if (!run) {
        return DialogCancel;
    }
    const QuarDialogModel face = {&model,       &model.Template(), NotifyModel,
                                  ModelEnabled, ModelChecked,      ModelText};
    return run(&face, parent) == DialogOk ? DialogOk : DialogCancel;
}

}  // namespace inet
