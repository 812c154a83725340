#include "windows/control/control_geometry.h"

#include <cmath>
#include <string>

#include "form/calc_layout.h"
#include "windows/control/wide_text.h"

namespace wrenfield::windows {

namespace {

constexpr int kTwipsPerInch = 1440;
constexpr int kHimetricPerInch = 2540;
// The smallest font the fitting goes down to, in pixels.
constexpr int kSmallestFontPixels = 8;

}  // namespace

TwipsMapping TwipsMapping::atResolution(int dotsPerInchX, int dotsPerInchY)
{
    return {double(dotsPerInchX) / kTwipsPerInch, double(dotsPerInchY) / kTwipsPerInch, 0, 0};
}

TwipsMapping TwipsMapping::overRectangle(const RECT& bounds)
{
    return {double(bounds.right - bounds.left) / form::kDesignedWidth,
            double(bounds.bottom - bounds.top) / form::kDesignedHeight, int(bounds.left), int(bounds.top)};
}

int scaledTwips(int twips, double scale)
{
    return static_cast<int>(std::lround(twips * scale));
}

RECT controlRect(const ControlDescription& description, const TwipsMapping& mapping)
{
    int left = mapping.originX;
    int top = mapping.originY;
    if (!description.parent.empty()) {
        if (const ControlDescription* frame = form::findInCalcLayout(description.parent)) {
            left += scaledTwips(frame->left, mapping.scaleX);
            top += scaledTwips(frame->top, mapping.scaleY);
        }
    }
    left += scaledTwips(description.left, mapping.scaleX);
    top += scaledTwips(description.top, mapping.scaleY);
    return {left, top, left + scaledTwips(description.width, mapping.scaleX),
            top + scaledTwips(description.height, mapping.scaleY)};
}

SIZE designedPixelSize(int dotsPerInchX, int dotsPerInchY)
{
    const TwipsMapping mapping = TwipsMapping::atResolution(dotsPerInchX, dotsPerInchY);
    return {scaledTwips(form::kDesignedWidth, mapping.scaleX), scaledTwips(form::kDesignedHeight, mapping.scaleY)};
}

SIZEL designedHimetricExtent()
{
    return {MulDiv(form::kDesignedWidth, kHimetricPerInch, kTwipsPerInch),
            MulDiv(form::kDesignedHeight, kHimetricPerInch, kTwipsPerInch)};
}

LOGFONTW fittedFont(HDC reference, int dotsPerInchX, int dotsPerInchY)
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    LOGFONTW font{};
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        font = metrics.lfMessageFont;
    } else {
        font.lfHeight = -11;
        font.lfWeight = FW_NORMAL;
        font.lfCharSet = DEFAULT_CHARSET;
        lstrcpynW(font.lfFaceName, L"MS Shell Dlg", LF_FACESIZE);
    }
    // The desktop's font is given in pixels at the screen's resolution.
    const int screenDpi = GetDeviceCaps(reference, LOGPIXELSY);
    if (screenDpi > 0 && screenDpi != dotsPerInchY)
        font.lfHeight = MulDiv(font.lfHeight, dotsPerInchY, screenDpi);
    if (font.lfHeight > 0)
        font.lfHeight = -font.lfHeight;

    const TwipsMapping mapping = TwipsMapping::atResolution(dotsPerInchX, dotsPerInchY);
    for (;;) {
        HFONT candidate = CreateFontIndirectW(&font);
        HGDIOBJ previous = SelectObject(reference, candidate);
        TEXTMETRICW text{};
        GetTextMetricsW(reference, &text);
        bool fits = true;
        for (const ControlDescription& description : form::calcLayout()) {
            if (description.kind != ControlKind::Label || !description.visible || description.labelFor.empty())
                continue;
            const RECT box = controlRect(description, mapping);
            const std::wstring caption = wideText(description.initialText);
            SIZE extent{};
            GetTextExtentPoint32W(reference, caption.c_str(), int(caption.size()), &extent);
            if (extent.cx > box.right - box.left || text.tmHeight > box.bottom - box.top)
                fits = false;
        }
        SelectObject(reference, previous);
        DeleteObject(candidate);
        if (fits || -font.lfHeight <= kSmallestFontPixels)
            return font;
        ++font.lfHeight;  // one pixel smaller
    }
}

}  // namespace wrenfield::windows
