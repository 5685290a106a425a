// The toolkit-free side of a dialog: its template and the rules that react to the user, kept
// apart from the window that shows them so that the rules are tested without a display.
#pragma once

#include "inet/dialog/WindowHostAbi.h"

namespace inet {

class DialogModel {
  public:
    virtual ~DialogModel() = default;

    // The dialog's template; the caption is the one to show.
    virtual const QuarDialogTemplate& Template() const = 0;
    // Reacts to a notification of control `id` (QuarNotification); `text` is an edit field's
    // current text, null for buttons. Returns 0 to go on, or the result that ends the dialog.
    virtual int Notify(int id, int notification, const char* text) = 0;
    // The state of control `id` that the window mirrors.
    virtual bool Enabled(int id) const = 0;
    virtual bool Checked(int id) const = 0;
    // An edit field's current text ("" for other ids).
    virtual const char* Text(int id) const = 0;
};

// Shows `model` modally through the window host, owned by `parent` (an opaque window handle,
// null: no owner), and returns the result that ended it. DialogCancel, without calling the model,
// when no display ($DISPLAY or $WAYLAND_DISPLAY) is set, the host module cannot be loaded or
// the host cannot show a window.
int RunDialog(DialogModel& model, void* parent);

}  // namespace inet
