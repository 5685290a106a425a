// The narrow interface between libQuarInet.so and the window host module that shows the
// library's dialogs with a toolkit. The library describes a dialog as a template of controls
// (positions in dialog units) and a model holding the dialog's rules; the host builds the
// window, passes the user's actions to the model and mirrors the model's state after each one.
// Plain C, so that the module stays loadable on its own and the library links no toolkit.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// Kinds of controls.
enum QuarControlKind {
    QuarRadioButton,  // automatic: checks itself and clears the others of its group
    QuarCheckBox,     // automatic: toggles itself
    QuarLabel,
    QuarEdit,
    QuarPushButton
};

// Style bits of a control.
enum QuarControlStyle {
    QuarGroup = 1,         // starts a group of radio buttons
    QuarTabStop = 2,       // reached with the Tab key
    QuarDigitsOnly = 4,    // an edit field that refuses anything but the digits 0-9
    QuarPassword = 8,      // an edit field that hides what is typed
    QuarAutoHScroll = 16,  // an edit field that scrolls horizontally
    QuarDefault = 32       // the push button that Enter presses
};

// One control. Text may hold "&" before a mnemonic letter ("&&" for a plain "&").
typedef struct QuarDialogControl {
    int id;  // -1 for a label nobody addresses
    int kind;
    const char* text;
    short x, y, cx, cy;  // dialog units
    unsigned style;
    int limit;  // an edit field's limit in characters; 0 for other kinds
} QuarDialogControl;

// A dialog: caption, font, client size in dialog units, and the controls in tab order.
typedef struct QuarDialogTemplate {
    const char* caption;
    const char* font;
    int pointSize;
    short cx, cy;
    int count;
    const QuarDialogControl* controls;
} QuarDialogTemplate;

// What the host reports.
enum QuarNotification {
    QuarClicked,     // a button was pressed (Escape and closing the window press Cancel, id 2)
    QuarEditChange,  // an edit field's text changed
    QuarEditFocus    // an edit field gained or lost the focus
};

// The dialog's model as the host sees it. The host calls it only from the thread that shows
// the dialog, while the thread that asked for the dialog waits.
typedef struct QuarDialogModel {
    void* context;
    const QuarDialogTemplate* dialog;
    // A notification of control `id`; `text` is an edit field's current text (UTF-8), null for
    // buttons. Returns 0 to go on, or the result that ends the dialog.
    int (*notify)(void* context, int id, int notification, const char* text);
    // The state that the host mirrors into the window after opening and after each notification.
    int (*isEnabled)(void* context, int id);
    int (*isChecked)(void* context, int id);
    // An edit field's text when the dialog opens.
    const char* (*text)(void* context, int id);
} QuarDialogModel;

// The host's one entry point: shows `model` as a modal window owned by `parent` (an X11 window
// id carried in a pointer; null: no owner, centred on the screen) and returns the result that
// ended it, or -1 when no window can be shown (no display, or the toolkit cannot start).
// Safe to call from several threads at once; each call shows its own window.
typedef int (*QuarWindowHostRunFn)(const QuarDialogModel* model, void* parent);
#define QUAR_WINDOW_HOST_ENTRY "QuarWindowHostRun"

// File name of the host module, looked up beside libQuarInet.so unless the environment variable
// QUAR_WINDOW_HOST_MODULE names another path.
#define QUAR_WINDOW_HOST_FILE "libquarinetgtk.so"

#ifdef __cplusplus
}
#endif
