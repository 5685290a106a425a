// The settings dialog shown through the window host.
#include "inet/dialog/SettingsDialog.h"

#include "inet/dialog/SettingsModel.h"

namespace inet {

int ShowSettingsDialog(QuarInetOptions& options, void* parent) {
    SettingsModel model(options);
    return RunDialog(model, parent);
}

}  // namespace inet
