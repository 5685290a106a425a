// Base units measured the way the dialog templates were laid out: the average width of the 52
// letters and the full height of a line.
#include "inet/dialog/gtk/DialogUnits.h"

namespace inet {

DialogUnits::DialogUnits(GtkWidget* widget) {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    PangoLayout* layout = gtk_widget_create_pango_layout(widget, kLetters);
    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    g_object_unref(layout);
    charWidth_ = (width / 26 + 1) / 2;
    charHeight_ = height;
}

int DialogUnits::Scale(int units, int base, int divisor) {
    long product = static_cast<long>(units) * base;
    long half = divisor / 2;
    return static_cast<int>(product >= 0 ? (product + half) / divisor : (product - half) / divisor);
}

}  // namespace inet
