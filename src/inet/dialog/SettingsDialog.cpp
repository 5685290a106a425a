// Until a window host exists, no display is available to the library.
#include "inet/dialog/SettingsDialog.h"

namespace inet {

int ShowSettingsDialog(QuarInetOptions&, void*) { return DialogCancel; }

}  // namespace inet
