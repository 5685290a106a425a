// A template dialog as a GTK 3 window: a fixed layout in dialog units, the template's tab order
// and mnemonics, Enter for the default button and Escape for Cancel.
#include "inet/dialog/gtk/GtkDialogWindow.h"

#include <cstdint>

#include <string>
#include <vector>

#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include "inet/dialog/gtk/DialogUnits.h"

namespace inet {
namespace {

constexpr int kCancelId = 2;
constexpr const char* kStyleClass = "quar-dialog";

// "&" marks a mnemonic in a template text, "_" in GTK's; "&&" is a plain "&".
std::string MnemonicText(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        if (*p == '&') {
            if (p[1] == '&') {
                out += '&';
                ++p;
            } else {
                out += '_';
            }
        } else if (*p == '_') {
            out += "__";
        } else {
            out += *p;
        }
    }
    return out;
}

bool HasMnemonic(const char* text) {
    for (const char* p = text; *p; ++p) {
        if (*p == '&') {
            if (p[1] != '&') {
                return p[1] != '\0';
            }
            ++p;
        }
    }
    return false;
}

// The template's font, falling back to the desktop's sans-serif face, for `widget` and
// everything inside it.
void ApplyFont(GtkWidget* widget, GtkStyleProvider* font) {
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget), font,
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
    if (GTK_IS_CONTAINER(widget)) {
        gtk_container_forall(
            GTK_CONTAINER(widget),
            [](GtkWidget* child, gpointer provider) {
                ApplyFont(child, static_cast<GtkStyleProvider*>(provider));
            },
            font);
    }
}

GtkStyleProvider* FontProvider(const QuarDialogTemplate& dialog) {
    gchar* css = g_strdup_printf("* { font-family: \"%s\", Sans; font-size: %dpt; }",
                                 dialog.font ? dialog.font : "Sans", dialog.pointSize);
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, css, -1, nullptr);
    g_free(css);
    return GTK_STYLE_PROVIDER(provider);
}

// Record texts are bytes; the toolkit takes UTF-8 only.
std::string DisplayText(const char* text) {
    gchar* valid = g_utf8_make_valid(text ? text : "", -1);
    std::string out = valid;
    g_free(valid);
    return out;
}

}  // namespace

void GtkDialogWindow::InstallStyle() {
    // Compact controls, as dialog units leave room for the text alone. Only the dialogs' windows
    // carry the class, so nothing else in the process changes look.
    static const char kCss[] =
        ".quar-dialog entry { min-height: 0; padding: 0 3px; }\n"
        ".quar-dialog button { min-height: 0; min-width: 0; padding: 0 4px; }\n"
        ".quar-dialog checkbutton, .quar-dialog radiobutton { padding: 0; }\n"
        ".quar-dialog check, .quar-dialog radio { min-width: 12px; min-height: 12px;"
        " margin: 0 4px 0 0; }\n";
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, kCss, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(),
                                              GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

void GtkDialogWindow::Open(const QuarDialogModel& model, void* parent, Done done) {
    auto* self = new GtkDialogWindow(model, std::move(done));
    self->Build();
    GtkWidget* window = self->window_;
    int width = 0;
    int height = 0;
    gtk_widget_get_size_request(gtk_bin_get_child(GTK_BIN(window)), &width, &height);
    self->PlaceOver(parent, width, height);
    gtk_widget_realize(window);
    self->SetOwner(parent);
    gtk_widget_show_all(window);
    // The focus starts where Tab would first take it, as the template orders the controls.
    if (!gtk_window_get_focus(GTK_WINDOW(window))) {
        gtk_widget_child_focus(window, GTK_DIR_TAB_FORWARD);
    }
}

GtkDialogWindow::GtkDialogWindow(const QuarDialogModel& model, Done done)
    : model_(model), done_(std::move(done)) {}

void GtkDialogWindow::Build() {
    const QuarDialogTemplate& dialog = *model_.dialog;
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_style_context_add_class(gtk_widget_get_style_context(window_), kStyleClass);
    gtk_window_set_title(GTK_WINDOW(window_), DisplayText(dialog.caption).c_str());
    gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
    g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKeyPress), this);
    g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);

    GtkStyleProvider* font = FontProvider(dialog);
    ApplyFont(window_, font);
    DialogUnits units(window_);
    GtkWidget* fixed = gtk_fixed_new();
    gtk_widget_set_size_request(fixed, units.ToPixelsX(dialog.cx), units.ToPixelsY(dialog.cy));
    gtk_container_add(GTK_CONTAINER(window_), fixed);

    std::vector<GtkWidget*> tabOrder;
    GSList* radioGroup = nullptr;
    GtkWidget* labelWaiting = nullptr;  // a label whose mnemonic moves to the next control
    GtkWidget* lastLabel = nullptr;     // the label just placed, which names the next control
    for (int i = 0; i < dialog.count; ++i) {
        const QuarDialogControl& control = dialog.controls[i];
        GtkWidget* widget = MakeControl(control, &radioGroup);
        controls_[widget] = &control;
        gtk_widget_set_size_request(widget, units.ToPixelsX(control.cx),
                                    units.ToPixelsY(control.cy));
        gtk_fixed_put(GTK_FIXED(fixed), widget, units.ToPixelsX(control.x),
                      units.ToPixelsY(control.y));
        if (control.kind == QuarLabel) {
            labelWaiting = HasMnemonic(control.text) ? widget : nullptr;
            lastLabel = widget;
            continue;
        }
        if (lastLabel && control.id != -1) {
            labelOf_[lastLabel] = &control;
        }
        lastLabel = nullptr;
        if (labelWaiting) {
            gtk_label_set_mnemonic_widget(GTK_LABEL(labelWaiting), widget);
            labelWaiting = nullptr;
        }
        // Every radio button joins the chain: the toolkit lets Tab stop only at the selected one
        // of a group and moves within it with the arrow keys.
        if ((control.style & QuarTabStop) || control.kind == QuarRadioButton) {
            tabOrder.push_back(widget);
        }
    }
    GList* chain = nullptr;
    for (auto it = tabOrder.rbegin(); it != tabOrder.rend(); ++it) {
        chain = g_list_prepend(chain, *it);
    }
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_container_set_focus_chain(GTK_CONTAINER(fixed), chain);
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_list_free(chain);
    ApplyFont(fixed, font);
    g_object_unref(font);

    MirrorModel();
}

GtkWidget* GtkDialogWindow::MakeControl(const QuarDialogControl& control, GSList** radioGroup) {
    const std::string text = MnemonicText(DisplayText(control.text).c_str());
    if (control.kind != QuarRadioButton || (control.style & QuarGroup)) {
        *radioGroup = nullptr;
    }
    GtkWidget* widget = nullptr;
    switch (control.kind) {
        case QuarRadioButton:
            widget = gtk_radio_button_new_with_mnemonic(*radioGroup, text.c_str());
            *radioGroup = gtk_radio_button_get_group(GTK_RADIO_BUTTON(widget));
            g_signal_connect(widget, "toggled", G_CALLBACK(OnToggled), this);
            break;
        case QuarCheckBox:
            widget = gtk_check_button_new_with_mnemonic(text.c_str());
            g_signal_connect(widget, "toggled", G_CALLBACK(OnToggled), this);
            break;
        case QuarEdit: {
            widget = gtk_entry_new();
            GtkEntry* entry = GTK_ENTRY(widget);
            gtk_entry_set_width_chars(entry, 1);
            gtk_entry_set_max_length(entry, control.limit);
            gtk_entry_set_text(entry, DisplayText(model_.text(model_.context, control.id)).c_str());
            gtk_entry_set_visibility(entry, (control.style & QuarPassword) == 0);
            if (control.style & QuarDigitsOnly) {
                g_signal_connect(widget, "insert-text", G_CALLBACK(OnInsertText), nullptr);
            }
            g_signal_connect(widget, "changed", G_CALLBACK(OnEditChanged), this);
            g_signal_connect(widget, "focus-in-event", G_CALLBACK(OnEditFocus), this);
            g_signal_connect(widget, "focus-out-event", G_CALLBACK(OnEditFocus), this);
            break;
        }
        case QuarPushButton:
            widget = gtk_button_new_with_mnemonic(text.c_str());
            g_signal_connect(widget, "clicked", G_CALLBACK(OnClicked), this);
            if (control.style & QuarDefault) {
                gtk_widget_set_can_default(widget, TRUE);
                gtk_window_set_default(GTK_WINDOW(window_), widget);
                defaultButton_ = widget;
            }
            break;
        default: {
            widget = gtk_label_new(nullptr);
            gtk_label_set_text_with_mnemonic(GTK_LABEL(widget), text.c_str());
            gtk_label_set_xalign(GTK_LABEL(widget), 0);
            gtk_label_set_yalign(GTK_LABEL(widget), 0);
            gtk_label_set_line_wrap(GTK_LABEL(widget), TRUE);
            break;
        }
    }
    return widget;
}

void GtkDialogWindow::PlaceOver(void* parent, int width, int height) {
#ifdef GDK_WINDOWING_X11
    GdkDisplay* display = gdk_display_get_default();
    if (parent && GDK_IS_X11_DISPLAY(display)) {
        GdkWindow* owner = gdk_x11_window_foreign_new_for_display(
            display, static_cast<Window>(reinterpret_cast<uintptr_t>(parent)));
        if (owner) {
            GdkRectangle frame;
            gdk_window_get_frame_extents(owner, &frame);
            int x = frame.x + (frame.width - width) / 2;
            int y = frame.y + (frame.height - height) / 2;
            // Kept on the owner's monitor, as a centred dialog never starts off screen.
            GdkRectangle area;
            gdk_monitor_get_workarea(gdk_display_get_monitor_at_window(display, owner), &area);
            x = CLAMP(x, area.x, MAX(area.x, area.x + area.width - width));
            y = CLAMP(y, area.y, MAX(area.y, area.y + area.height - height));
            gtk_window_move(GTK_WINDOW(window_), x, y);
            g_object_unref(owner);
            return;
        }
    }
#endif
    gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
}

void GtkDialogWindow::SetOwner(void* parent) {
    GdkWindow* own = gtk_widget_get_window(window_);
    // Modal for its owner without grabbing the whole process, so that a second thread's dialog
    // stays usable at the same time.
    gdk_window_set_modal_hint(own, TRUE);
#ifdef GDK_WINDOWING_X11
    GdkDisplay* display = gdk_display_get_default();
    if (parent && GDK_IS_X11_DISPLAY(display)) {
        GdkWindow* owner = gdk_x11_window_foreign_new_for_display(
            display, static_cast<Window>(reinterpret_cast<uintptr_t>(parent)));
        if (owner) {
            gdk_window_set_transient_for(own, owner);
            g_object_unref(owner);
        }
    }
#else
    (void)parent;
#endif
}

void GtkDialogWindow::Notify(int id, int notification, const char* text) {
    if (mirroring_ || ending_) {
        return;
    }
    int result = model_.notify(model_.context, id, notification, text);
    if (result != 0) {
        End(result);
        return;
    }
    MirrorModel();
}

void GtkDialogWindow::MirrorModel() {
    mirroring_ = true;
    for (const auto& [widget, control] : controls_) {
        if (control->id == -1) {
            continue;
        }
        gtk_widget_set_sensitive(widget, model_.isEnabled(model_.context, control->id) != 0);
        if (control->kind == QuarRadioButton || control->kind == QuarCheckBox) {
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget),
                                         model_.isChecked(model_.context, control->id) != 0);
        }
    }
    for (const auto& [label, field] : labelOf_) {
        gtk_widget_set_sensitive(label, model_.isEnabled(model_.context, field->id) != 0);
    }
    mirroring_ = false;
}

void GtkDialogWindow::End(int result) {
    ending_ = true;
    // Destroying the window also drops every handler that points here.
    gtk_widget_destroy(window_);
    Done done = std::move(done_);
    delete this;
    done(result);
}

gboolean GtkDialogWindow::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* self = static_cast<GtkDialogWindow*>(data);
    if (event->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) {
        return FALSE;
    }
    if (event->keyval == GDK_KEY_Escape) {
        self->Notify(kCancelId, QuarClicked, nullptr);
        return TRUE;
    }
    if (event->keyval != GDK_KEY_Return && event->keyval != GDK_KEY_KP_Enter) {
        return FALSE;
    }
    // Enter on a push button presses that button; anywhere else it presses the default one, if
    // that is enabled, and never toggles the focused check box or radio button.
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(self->window_));
    if (focus && GTK_IS_BUTTON(focus) && !GTK_IS_TOGGLE_BUTTON(focus)) {
        return FALSE;
    }
    if (self->defaultButton_ && gtk_widget_is_sensitive(self->defaultButton_)) {
        gtk_button_clicked(GTK_BUTTON(self->defaultButton_));
    }
    return TRUE;
}

gboolean GtkDialogWindow::OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    static_cast<GtkDialogWindow*>(data)->Notify(kCancelId, QuarClicked, nullptr);
    return TRUE;
}

void GtkDialogWindow::OnToggled(GtkToggleButton* button, gpointer data) {
    auto* self = static_cast<GtkDialogWindow*>(data);
    const QuarDialogControl* control = self->controls_[GTK_WIDGET(button)];
    // A radio button reports the choice made, not the one given up.
    if (control->kind == QuarRadioButton && !gtk_toggle_button_get_active(button)) {
        return;
    }
    self->Notify(control->id, QuarClicked, nullptr);
}

void GtkDialogWindow::OnClicked(GtkButton* button, gpointer data) {
    auto* self = static_cast<GtkDialogWindow*>(data);
    self->Notify(self->controls_[GTK_WIDGET(button)]->id, QuarClicked, nullptr);
}

void GtkDialogWindow::OnEditChanged(GtkEditable* editable, gpointer data) {
    auto* self = static_cast<GtkDialogWindow*>(data);
    self->Notify(self->controls_[GTK_WIDGET(editable)]->id, QuarEditChange,
                 gtk_entry_get_text(GTK_ENTRY(editable)));
}

gboolean GtkDialogWindow::OnEditFocus(GtkWidget* widget, GdkEvent*, gpointer data) {
    auto* self = static_cast<GtkDialogWindow*>(data);
    self->Notify(self->controls_[widget]->id, QuarEditFocus, gtk_entry_get_text(GTK_ENTRY(widget)));
    return FALSE;
}

void GtkDialogWindow::OnInsertText(GtkEditable* editable, const gchar* text, gint length, gint*,
                                   gpointer) {
    for (gint i = 0; length < 0 ? text[i] != '\0' : i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            gtk_widget_error_bell(GTK_WIDGET(editable));
            g_signal_stop_emission_by_name(editable, "insert-text");
            return;
        }
    }
}

}  // namespace inet
