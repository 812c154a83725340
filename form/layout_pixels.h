// The form's layout table in pixels at a screen's logical resolution (96,
// 120, 144, 192 dots per inch and any other), and where the form sits in a
// rectangle a host gives it. Every renderer that places real windows takes
// its places from here, so the form keeps its proportions at every
// resolution.
//
// Sizes in a rectangle other than the designed one: the form keeps its
// designed size at the resolution. In a larger rectangle it sits in the
// middle (across, down, or both, wherever there is room to spare); in a
// smaller one it stays at the top left corner and what does not fit is cut
// off at the rectangle's edge.
#pragma once

#include "form/controls.h"

namespace wrenfield::form {

struct PixelPoint {
    int x = 0;
    int y = 0;
    friend constexpr bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

struct PixelSize {
    int width = 0;
    int height = 0;
    friend constexpr bool operator==(const PixelSize&, const PixelSize&) = default;
};

struct PixelRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int right() const noexcept { return left + width; }
    int bottom() const noexcept { return top + height; }
    friend constexpr bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Twips in whole pixels at `dotsPerInch`, to the nearest (halves away from
// zero), in exact integer arithmetic: 975 twips at 144 dpi are 97.5, so 98.
int twipsToPixels(int twips, int dotsPerInch) noexcept;

// A control's place and size in pixels relative to the form's top left
// corner. A control inside a frame is placed as a child window of the frame
// would be: the frame's place in pixels, plus the control's own offset in
// pixels.
PixelRect formPixelRect(const ControlDescription& description, int dotsPerInchX, int dotsPerInchY) noexcept;

// The designed area of the form (6525 x 2190 twips) in pixels: 435 x 146 at 96 dpi.
PixelSize designedPixelSize(int dotsPerInchX, int dotsPerInchY) noexcept;

// Where the form's top left corner goes in a rectangle of `available` pixels:
// centred across and down where the rectangle is larger than the form (an
// odd pixel to spare goes to the right or below), at 0 where it is not.
PixelPoint formOrigin(PixelSize available, int dotsPerInchX, int dotsPerInchY) noexcept;

}  // namespace wrenfield::form
