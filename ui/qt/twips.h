// Twips, the form's unit (1/1440 inch), turned into pixels at a screen's
// logical resolution: 15 twips make one pixel at 96 dots per inch.
#pragma once

#include <QRect>
#include <QSize>

#include "form/controls.h"

namespace wrenfield::ui {

inline constexpr int kTwipsPerInch = 1440;

// The logical resolution of a screen, in dots per inch, across and down.
struct Resolution {
    double x = 96;
    double y = 96;
};

// The nearest whole number of pixels (halves away from zero).
int twipsToPixels(int twips, double dotsPerInch);

// A control's place and size, in pixels, relative to its parent (the form or
// its frame).
QRect pixelRect(const ControlDescription& description, Resolution resolution);

// An area given in twips, in pixels.
QSize pixelSize(int widthTwips, int heightTwips, Resolution resolution);

}  // namespace wrenfield::ui
