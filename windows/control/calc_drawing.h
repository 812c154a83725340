// The Calc form drawn with GDI into any device context (a window, a memory
// bitmap, a printer, a metafile), from the model's current state, with no
// window: what a container shows at design time or prints.
#pragma once

#include <windows.h>

#include "windows/control/control_palette.h"

namespace wrenfield::form {
class Calc;
}

namespace wrenfield::windows {

// Draws the form into `bounds` (logical units of `dc`) in the container's
// appearance. On a screen or a bitmap of the screen in pixels, the form is
// laid out as the control's window lays it out in a rectangle of that size,
// with the same font, so the picture is the window's, pixel for pixel. On
// any other device (a printer, a metafile, another mapping mode) the
// designed area is stretched over `bounds`, the font with it.
void drawCalc(HDC dc, const RECT& bounds, const form::Calc& calc, const ControlAppearance& appearance);

}  // namespace wrenfield::windows
