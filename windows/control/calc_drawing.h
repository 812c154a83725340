// The Calc form drawn with GDI into any device context (a window, a memory
// bitmap, a printer, a metafile), from the model's current state, with no
// window: what a container shows at design time or prints.
#pragma once

#include <windows.h>

namespace wrenfield::form {
class Calc;
}

namespace wrenfield::windows {

// Draws the form stretched over `bounds` (logical units of `dc`). The font is
// the one the control uses on the screen, scaled with the form.
void drawCalc(HDC dc, const RECT& bounds, const form::Calc& calc);

}  // namespace wrenfield::windows
