// How the control looks on its container's form: the colours of the layout
// table as the platform's colour values, and what a container gives the
// control through its ambient properties (its font, its background and text
// colours, and whether the form is being designed). A fixed colour of the
// table stays as designed; the two system colours (the window background
// the labels and the frame sit on, and the text on it) take the
// container's colours where it gives them, and the desktop's otherwise.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "form/controls.h"

namespace wrenfield::windows {

// A font as a container describes it: in points, at no particular resolution.
struct AmbientFont {
    std::wstring face;
    double points = 8;
    LONG weight = FW_NORMAL;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    BYTE charset = DEFAULT_CHARSET;

    friend bool operator==(const AmbientFont&, const AmbientFont&) = default;
};

struct ControlAppearance {
    std::optional<AmbientFont> font;     // the desktop's message font when none
    std::optional<COLORREF> background;  // in place of the window-background colour
    std::optional<COLORREF> foreground;  // in place of the window-text colour
    // False while the container's form is being designed: the control then
    // shows a picture of itself and opens no list.
    bool userMode = true;

    friend bool operator==(const ControlAppearance&, const ControlAppearance&) = default;
};

inline COLORREF colourRef(const Colour& colour, const ControlAppearance& appearance)
{
    if (!colour.isSystem)
        return RGB(colour.red, colour.green, colour.blue);
    if (colour.system == SystemColour::WindowText)
        return appearance.foreground ? *appearance.foreground : GetSysColor(COLOR_WINDOWTEXT);
    return appearance.background ? *appearance.background : GetSysColor(COLOR_WINDOW);
}

// The form's own background, on which its labels sit.
inline COLORREF formBackground(const ControlAppearance& appearance)
{
    return colourRef(Colour::systemColour(SystemColour::WindowBackground), appearance);
}

}  // namespace wrenfield::windows
