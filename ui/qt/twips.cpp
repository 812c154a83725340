#include "ui/qt/twips.h"

#include <cmath>

namespace wrenfield::ui {

int twipsToPixels(int twips, double dotsPerInch)
{
    return static_cast<int>(std::lround(twips * dotsPerInch / kTwipsPerInch));
}

QRect pixelRect(const ControlDescription& description, Resolution resolution)
{
    return {twipsToPixels(description.left, resolution.x), twipsToPixels(description.top, resolution.y),
            twipsToPixels(description.width, resolution.x), twipsToPixels(description.height, resolution.y)};
}

QSize pixelSize(int widthTwips, int heightTwips, Resolution resolution)
{
    return {twipsToPixels(widthTwips, resolution.x), twipsToPixels(heightTwips, resolution.y)};
}

}  // namespace wrenfield::ui
