// One dialog as a GTK 3 window, laid out from its template and kept in step with its model:
// every user action goes to the model, and the model's state comes back into the window.
// Lives on the toolkit's thread only.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <map>

#include "inet/dialog/WindowHostAbi.h"

namespace inet {

class GtkDialogWindow {
  public:
    using Done = std::function<void(int result)>;

    // Builds and shows the window for `model` owned by `parent` (an X11 window id; null: none).
    // `done` is called once with the result after the window is gone; the model is not touched
    // after that. The object deletes itself when the dialog ends.
    static void Open(const QuarDialogModel& model, void* parent, Done done);

    // The look that every dialog window shares (font and compact controls); once per process.
    static void InstallStyle();

    GtkDialogWindow(const GtkDialogWindow&) = delete;
    GtkDialogWindow& operator=(const GtkDialogWindow&) = delete;

  private:
    GtkDialogWindow(const QuarDialogModel& model, Done done);
    ~GtkDialogWindow() = default;

    void Build();
    GtkWidget* MakeControl(const QuarDialogControl& control, GSList** radioGroup);
    void PlaceOver(void* parent, int width, int height);
    void SetOwner(void* parent);
    // Passes a notification to the model, mirrors its state and ends the dialog on a result.
    void Notify(int id, int notification, const char* text);
    void MirrorModel();
    void End(int result);

    static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self);
    static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self);
    static void OnToggled(GtkToggleButton* button, gpointer self);
    static void OnClicked(GtkButton* button, gpointer self);
    static void OnEditChanged(GtkEditable* editable, gpointer self);
    static gboolean OnEditFocus(GtkWidget* widget, GdkEvent*, gpointer self);
    static void OnInsertText(GtkEditable* editable, const gchar* text, gint length, gint*,
                             gpointer);

    const QuarDialogModel& model_;
    Done done_;
    GtkWidget* window_ = nullptr;
    GtkWidget* defaultButton_ = nullptr;
    std::map<GtkWidget*, const QuarDialogControl*> controls_;
    // Each label that stands before a field, with that field: it greys out with it.
    std::map<GtkWidget*, const QuarDialogControl*> labelOf_;
    bool mirroring_ = false;  // state set from the model, not by the user
    bool ending_ = false;
};

}  // namespace inet
