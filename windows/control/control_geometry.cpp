#include "windows/control/control_geometry.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "form/calc_layout.h"
#include "windows/control/wide_text.h"

namespace wrenfield::windows {

namespace {

constexpr int kTwipsPerInch = 1440;
constexpr int kHimetricPerInch = 2540;
constexpr int kPointsPerInch = 72;
// The smallest font the fitting goes down to, in pixels.
constexpr int kSmallestFontPixels = 8;
// A closed list's entry takes at most two thirds of the list's height: the
// rest is the box's border and margin, which grow with the resolution too.
constexpr int kListTextShare = 2;
constexpr int kListHeightShares = 3;

int scaledTwips(int twips, double scale)
{
    return static_cast<int>(std::lround(twips * scale));
}

}  // namespace

FormGeometry FormGeometry::inPixels(const RECT& bounds, int dotsPerInchX, int dotsPerInchY)
{
    FormGeometry geometry;
    geometry.pixels_ = true;
    geometry.dotsX_ = dotsPerInchX;
    geometry.dotsY_ = dotsPerInchY;
    const form::PixelPoint origin = form::formOrigin({int(bounds.right - bounds.left), int(bounds.bottom - bounds.top)},
                                                     dotsPerInchX, dotsPerInchY);
    geometry.origin_ = {bounds.left + origin.x, bounds.top + origin.y};
    geometry.scaleX_ = double(dotsPerInchX) / kTwipsPerInch;
    geometry.scaleY_ = double(dotsPerInchY) / kTwipsPerInch;
    return geometry;
}

FormGeometry FormGeometry::stretched(const RECT& bounds)
{
    FormGeometry geometry;
    geometry.pixels_ = false;
    geometry.origin_ = {bounds.left, bounds.top};
    geometry.scaleX_ = double(bounds.right - bounds.left) / form::kDesignedWidth;
    geometry.scaleY_ = double(bounds.bottom - bounds.top) / form::kDesignedHeight;
    return geometry;
}

int FormGeometry::across(int twips) const
{
    return pixels_ ? form::twipsToPixels(twips, dotsX_) : scaledTwips(twips, scaleX_);
}

int FormGeometry::down(int twips) const
{
    return pixels_ ? form::twipsToPixels(twips, dotsY_) : scaledTwips(twips, scaleY_);
}

RECT FormGeometry::controlRect(const ControlDescription& description) const
{
    if (pixels_) {
        const form::PixelRect rect = form::formPixelRect(description, dotsX_, dotsY_);
        return {origin_.x + rect.left, origin_.y + rect.top, origin_.x + rect.right(), origin_.y + rect.bottom()};
    }
    int left = origin_.x;
    int top = origin_.y;
    if (!description.parent.empty()) {
        if (const ControlDescription* frame = form::findInCalcLayout(description.parent)) {
            left += across(frame->left);
            top += down(frame->top);
        }
    }
    left += across(description.left);
    top += down(description.top);
    return {left, top, left + across(description.width), top + down(description.height)};
}

RECT FormGeometry::formRect() const
{
    return {origin_.x, origin_.y, origin_.x + across(form::kDesignedWidth), origin_.y + down(form::kDesignedHeight)};
}

SIZE designedPixelSize(int dotsPerInchX, int dotsPerInchY)
{
    const form::PixelSize size = form::designedPixelSize(dotsPerInchX, dotsPerInchY);
    return {size.width, size.height};
}

SIZEL designedHimetricExtent()
{
    return {MulDiv(form::kDesignedWidth, kHimetricPerInch, kTwipsPerInch),
            MulDiv(form::kDesignedHeight, kHimetricPerInch, kTwipsPerInch)};
}

LOGFONTW fittedFont(HDC reference, int dotsPerInchX, int dotsPerInchY, const ControlAppearance& appearance)
{
    LOGFONTW font{};
    if (appearance.font) {
        // The container's font, given in points, at this resolution.
        const AmbientFont& ambient = *appearance.font;
        font.lfHeight = -std::max(1L, std::lround(ambient.points * dotsPerInchY / kPointsPerInch));
        font.lfWeight = ambient.weight;
        font.lfItalic = ambient.italic;
        font.lfUnderline = ambient.underline;
        font.lfStrikeOut = ambient.strikeout;
        font.lfCharSet = ambient.charset;
        lstrcpynW(font.lfFaceName, ambient.face.c_str(), LF_FACESIZE);
    } else {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
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
    }

    const FormGeometry geometry = FormGeometry::inPixels({0, 0, 0, 0}, dotsPerInchX, dotsPerInchY);
    for (;;) {
        HFONT candidate = CreateFontIndirectW(&font);
        HGDIOBJ previous = SelectObject(reference, candidate);
        TEXTMETRICW text{};
        GetTextMetricsW(reference, &text);
        bool fits = true;
        for (const ControlDescription& description : form::calcLayout()) {
            if (description.kind == ControlKind::DropDownList && description.visible) {
                const RECT box = geometry.controlRect(description);
                if (text.tmHeight * kListHeightShares > (box.bottom - box.top) * kListTextShare)
                    fits = false;
                continue;
            }
            if (description.kind != ControlKind::Label || !description.visible || description.labelFor.empty())
                continue;
            const RECT box = geometry.controlRect(description);
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
