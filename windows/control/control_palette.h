// The colours of the layout table as the platform's colour values: a fixed
// colour as it is, a system colour as the desktop sets it.
#pragma once

#include <windows.h>

#include "form/controls.h"

namespace wrenfield::windows {

inline COLORREF colourRef(const Colour& colour)
{
    if (!colour.isSystem)
        return RGB(colour.red, colour.green, colour.blue);
    return GetSysColor(colour.system == SystemColour::WindowText ? COLOR_WINDOWTEXT : COLOR_WINDOW);
}

// The form's own background, on which its labels sit.
inline COLORREF formBackground()
{
    return GetSysColor(COLOR_WINDOW);
}

}  // namespace wrenfield::windows
