#include "form/layout_pixels.h"

#include <algorithm>

#include "form/calc_layout.h"

namespace wrenfield::form {

namespace {

constexpr long long kTwipsPerInch = 1440;

}  // namespace

int twipsToPixels(int twips, int dotsPerInch) noexcept
{
    const long long scaled = static_cast<long long>(twips) * dotsPerInch;  // pixels x 1440
    const long long magnitude = scaled < 0 ? -scaled : scaled;
    const long long rounded = (2 * magnitude + kTwipsPerInch) / (2 * kTwipsPerInch);
    return static_cast<int>(scaled < 0 ? -rounded : rounded);
}

PixelRect formPixelRect(const ControlDescription& description, int dotsPerInchX, int dotsPerInchY) noexcept
{
    PixelRect rect{twipsToPixels(description.left, dotsPerInchX), twipsToPixels(description.top, dotsPerInchY),
                   twipsToPixels(description.width, dotsPerInchX), twipsToPixels(description.height, dotsPerInchY)};
    if (!description.parent.empty()) {
        if (const ControlDescription* frame = findInCalcLayout(description.parent)) {
            rect.left += twipsToPixels(frame->left, dotsPerInchX);
            rect.top += twipsToPixels(frame->top, dotsPerInchY);
        }
    }
    return rect;
}

PixelSize designedPixelSize(int dotsPerInchX, int dotsPerInchY) noexcept
{
    return {twipsToPixels(kDesignedWidth, dotsPerInchX), twipsToPixels(kDesignedHeight, dotsPerInchY)};
}

PixelPoint formOrigin(PixelSize available, int dotsPerInchX, int dotsPerInchY) noexcept
{
    const PixelSize designed = designedPixelSize(dotsPerInchX, dotsPerInchY);
    return {std::max(0, (available.width - designed.width) / 2), std::max(0, (available.height - designed.height) / 2)};
}

}  // namespace wrenfield::form
