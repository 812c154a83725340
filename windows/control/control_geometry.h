// Where the controls of the Calc form go on a Windows device: the twips of
// the layout table turned into pixels at a screen's logical resolution, or
// into the logical units of any rectangle a container asks the control to
// draw into, and the font that fits the captions of the form.
#pragma once

#include <windows.h>

#include "form/controls.h"

namespace wrenfield::windows {

// Twips to device units: a scale across and down and the origin of the form.
struct TwipsMapping {
    double scaleX = 96.0 / 1440.0;  // device units per twip
    double scaleY = 96.0 / 1440.0;
    int originX = 0;
    int originY = 0;

    // At a logical resolution (dots per inch), with the form's top left corner at (0, 0).
    static TwipsMapping atResolution(int dotsPerInchX, int dotsPerInchY);
    // The whole designed area of the form stretched over `bounds`.
    static TwipsMapping overRectangle(const RECT& bounds);
};

// A length in twips in device units, to the nearest whole unit (halves away from zero).
int scaledTwips(int twips, double scale);

// A control's rectangle in device units. A control inside a frame is placed
// relative to the frame: the frame's own place is scaled first and the
// control's offset added, exactly as a child window inside the frame would be.
RECT controlRect(const ControlDescription& description, const TwipsMapping& mapping);

// The designed size of the form in pixels at a logical resolution.
SIZE designedPixelSize(int dotsPerInchX, int dotsPerInchY);

// The designed size of the form in HIMETRIC units (0.01 mm), as OLE extents are given.
SIZEL designedHimetricExtent();

// The font of the form's texts: the desktop's message font at `dotsPerInch`,
// made smaller (in whole pixels) until every caption that names a list or
// the result fits its box, as the form lays them out at that resolution.
// `reference` is a device context to measure with (a screen DC).
LOGFONTW fittedFont(HDC reference, int dotsPerInchX, int dotsPerInchY);

}  // namespace wrenfield::windows
