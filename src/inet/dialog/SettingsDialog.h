// The modal settings dialog of the connection options: the seam between the connection class
// and the window host that shows it.
#pragma once

#include "QuarInet.h"
#include "inet/dialog/DialogResult.h"

namespace inet {

// Shows the settings dialog over `options`, which it edits in place (its DialogTitle, when set,
// is the caption), owned by `parent` (an opaque window handle; null: no owner). Returns
// DialogOk or DialogCancel; DialogCancel at once, record untouched, when no display is
// available. Safe to call from several threads, each with its own record.
int ShowSettingsDialog(QuarInetOptions& options, void* parent);

}  // namespace inet
