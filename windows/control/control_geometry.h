// Where the controls of the Calc form go on a Windows device: the layout
// table in pixels at a screen's logical resolution, placed in the control's
// rectangle by the form's rule (form/layout_pixels.h: centred where there is
// room to spare, cut off where there is not), or the designed area stretched
// over any rectangle a container asks the control to draw into; and the font
// that fits the captions of the form.
#pragma once

#include <windows.h>

#include "form/controls.h"
#include "form/layout_pixels.h"
#include "windows/control/control_palette.h"

namespace wrenfield::windows {

class FormGeometry {
public:
    // The form at its designed size at a logical resolution, placed in
    // `bounds` (device pixels) by the form's rule.
    static FormGeometry inPixels(const RECT& bounds, int dotsPerInchX, int dotsPerInchY);
    // The whole designed area stretched over `bounds` (logical units of any
    // mapping mode), as a container that prints or scales the control asks.
    static FormGeometry stretched(const RECT& bounds);

    // A control's rectangle in the units of `bounds`. A control inside a
    // frame is placed relative to the frame, as a child window of it would be.
    RECT controlRect(const ControlDescription& description) const;
    // The designed area of the form in the same units.
    RECT formRect() const;
    // Device units per twip, across and down.
    double scaleX() const noexcept { return scaleX_; }
    double scaleY() const noexcept { return scaleY_; }
    // A length in twips in device units, to the nearest whole unit.
    int across(int twips) const;
    int down(int twips) const;

private:
    bool pixels_ = true;
    int dotsX_ = 96;
    int dotsY_ = 96;
    POINT origin_{};
    double scaleX_ = 96.0 / 1440.0;
    double scaleY_ = 96.0 / 1440.0;
};

// The designed size of the form in pixels at a logical resolution.
SIZE designedPixelSize(int dotsPerInchX, int dotsPerInchY);

// The designed size of the form in HIMETRIC units (0.01 mm), as OLE extents are given.
SIZEL designedHimetricExtent();

// The font of the form's texts at `dotsPerInch`: the container's ambient
// font where it gives one, else the desktop's message font, made smaller (in
// whole pixels) until every caption that names a list or the result fits
// its box, and an entry takes at most two thirds of a closed list's height,
// as the form lays them out at that resolution. `reference` is a
// device context to measure with (a screen DC).
LOGFONTW fittedFont(HDC reference, int dotsPerInchX, int dotsPerInchY, const ControlAppearance& appearance);

}  // namespace wrenfield::windows
