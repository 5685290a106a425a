// Dialog units: template positions scale with the dialog's font, a quarter of the average
// character width across and an eighth of the character height down.
#pragma once

#include <gtk/gtk.h>

namespace inet {

class DialogUnits {
  public:
    // The base units of the font that `widget`'s style gives it.
    explicit DialogUnits(GtkWidget* widget);

    int ToPixelsX(int units) const { return Scale(units, charWidth_, 4); }
    int ToPixelsY(int units) const { return Scale(units, charHeight_, 8); }

  private:
    // units * base / divisor, rounded half away from zero.
    static int Scale(int units, int base, int divisor);

    int charWidth_;
    int charHeight_;
};

}  // namespace inet
