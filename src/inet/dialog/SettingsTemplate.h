// The layout of the connection settings dialog.
#pragma once

#include "inet/dialog/WindowHostAbi.h"

namespace inet {

// Caption shown when the record names none.
extern const char* const kSettingsCaption;

// The dialog's template: controls in tab order, positions in dialog units.
const QuarDialogTemplate& SettingsTemplate();

}  // namespace inet
