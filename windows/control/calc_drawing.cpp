#include "windows/control/calc_drawing.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "form/calc.h"
#include "form/calc_layout.h"
#include "windows/control/control_geometry.h"
#include "windows/control/control_palette.h"
#include "windows/control/wide_text.h"

namespace wrenfield::windows {

namespace {

constexpr int kTwipsPerInch = 1440;

// A GDI object selected into a device context for the length of a scope.
class Selected {
public:
    Selected(HDC dc, HGDIOBJ object)
        : dc_(dc)
        , object_(object)
        , previous_(SelectObject(dc, object))
    {}
    ~Selected()
    {
        SelectObject(dc_, previous_);
        DeleteObject(object_);
    }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

private:
    HDC dc_;
    HGDIOBJ object_;
    HGDIOBJ previous_;
};

void fill(HDC dc, const RECT& rect, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

void outline(HDC dc, const RECT& rect, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    FrameRect(dc, &rect, brush);
    DeleteObject(brush);
}

// Text as a static control draws it: from the top of its box, broken into
// lines at blanks, with the label's alignment.
void drawCaption(HDC dc, const RECT& rect, const ControlDescription& description, std::string_view caption,
                 const ControlAppearance& appearance)
{
    fill(dc, rect, colourRef(description.background, appearance));
    UINT format = DT_EXPANDTABS | DT_WORDBREAK | DT_NOPREFIX;
    switch (description.alignment) {
    case Alignment::Left:
        format |= DT_LEFT;
        break;
    case Alignment::Right:
        format |= DT_RIGHT;
        break;
    case Alignment::Centre:
        format |= DT_CENTER;
        break;
    }
    SetTextColor(dc, colourRef(description.foreground, appearance));
    SetBkColor(dc, colourRef(description.background, appearance));
    RECT box = rect;
    const std::wstring text = wideText(caption);
    DrawTextW(dc, text.c_str(), int(text.size()), &box, format);
}

// A closed drop-down list: the selected entry on the list's colour, and the
// button that opens it.
void drawList(HDC dc, const RECT& rect, const ControlDescription& description, const DropDownList& list,
              int buttonWidth, int inset, const ControlAppearance& appearance)
{
    fill(dc, rect, colourRef(description.background, appearance));
    outline(dc, rect, GetSysColor(COLOR_WINDOWFRAME));
    RECT button = {rect.right - buttonWidth, rect.top, rect.right, rect.bottom};
    if (button.left > rect.left) {
        fill(dc, button, GetSysColor(COLOR_BTNFACE));
        outline(dc, button, GetSysColor(COLOR_BTNSHADOW));
        // The arrow: a small triangle pointing down, in the middle of the button.
        const int centreX = (button.left + button.right) / 2;
        const int centreY = (button.top + button.bottom) / 2;
        const int half = std::max(1, buttonWidth / 4);
        const POINT arrow[3] = {{centreX - half, centreY - half / 2},
                                {centreX + half, centreY - half / 2},
                                {centreX, centreY + half / 2 + 1}};
        HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_BTNTEXT));
        HPEN pen = CreatePen(PS_SOLID, 0, GetSysColor(COLOR_BTNTEXT));
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        HGDIOBJ oldPen = SelectObject(dc, pen);
        Polygon(dc, arrow, 3);
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
        DeleteObject(brush);
        DeleteObject(pen);
    }
    RECT text = {rect.left + inset, rect.top, button.left - inset, rect.bottom};
    SetTextColor(dc, colourRef(description.foreground, appearance));
    SetBkColor(dc, colourRef(description.background, appearance));
    const std::wstring entry = wideText(list.text());
    DrawTextW(dc, entry.c_str(), int(entry.size()), &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

// Whether `dc` counts in the pixels of a screen: the picture is then the
// window's own.
bool countsInScreenPixels(HDC dc)
{
    const int technology = GetDeviceCaps(dc, TECHNOLOGY);
    return GetMapMode(dc) == MM_TEXT && technology == DT_RASDISPLAY;
}

}  // namespace

void drawCalc(HDC dc, const RECT& bounds, const form::Calc& calc, const ControlAppearance& appearance)
{
    HDC screen = GetDC(nullptr);
    const int screenDotsX = GetDeviceCaps(screen, LOGPIXELSX);
    const int screenDotsY = GetDeviceCaps(screen, LOGPIXELSY);
    LOGFONTW font{};
    FormGeometry geometry = FormGeometry::stretched(bounds);
    int dotsX = screenDotsX;
    if (countsInScreenPixels(dc)) {
        const int dcDotsX = GetDeviceCaps(dc, LOGPIXELSX);
        const int dcDotsY = GetDeviceCaps(dc, LOGPIXELSY);
        geometry = FormGeometry::inPixels(bounds, dcDotsX, dcDotsY);
        font = fittedFont(screen, dcDotsX, dcDotsY, appearance);
        dotsX = dcDotsX;
    } else {
        // The font the control has on the screen, as a height in twips,
        // scaled with the form.
        font = fittedFont(screen, screenDotsX, screenDotsY, appearance);
        const double fontTwips = double(-font.lfHeight) * kTwipsPerInch / screenDotsY;
        font.lfHeight = -std::max(1, static_cast<int>(std::lround(fontTwips * geometry.scaleY())));
    }
    ReleaseDC(nullptr, screen);
    const int buttonWidth = geometry.across(GetSystemMetrics(SM_CXVSCROLL) * kTwipsPerInch / std::max(1, dotsX));
    const int inset = geometry.across(3 * kTwipsPerInch / std::max(1, dotsX));

    const int savedState = SaveDC(dc);
    IntersectClipRect(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
    fill(dc, bounds, formBackground(appearance));
    SetBkMode(dc, OPAQUE);
    Selected selectedFont(dc, CreateFontIndirectW(&font));

    // Frames at the back, then the lists, then the labels, the result last so
    // that it stays readable where its neighbour's box overlaps it.
    const Control* result = calc.control(form::names::OutputLabel);
    for (ControlKind pass : {ControlKind::Frame, ControlKind::DropDownList, ControlKind::Label}) {
        for (const auto& control : calc.controls()) {
            const ControlDescription& description = control->description();
            if (description.kind != pass || !description.visible || control.get() == result)
                continue;
            const RECT rect = geometry.controlRect(description);
            switch (pass) {
            case ControlKind::Frame: {
                RECT edge = rect;
                DrawEdge(dc, &edge, EDGE_ETCHED, BF_RECT);
                break;
            }
            case ControlKind::DropDownList:
                drawList(dc, rect, description, static_cast<const DropDownList&>(*control), buttonWidth, inset,
                         appearance);
                break;
            case ControlKind::Label:
                drawCaption(dc, rect, description, static_cast<const Label&>(*control).caption(), appearance);
                break;
            case ControlKind::TextBox:
                break;
            }
        }
    }
    if (result && result->visible())
        drawCaption(dc, geometry.controlRect(result->description()), result->description(),
                    static_cast<const Label&>(*result).caption(), appearance);
    RestoreDC(dc, savedState);
}

}  // namespace wrenfield::windows
