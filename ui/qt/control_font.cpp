#include "ui/qt/control_font.h"

#include <QFontInfo>
#include <QFontMetrics>

namespace wrenfield::ui {

namespace {

constexpr int kNarrowestStretch = 75;  // per cent of the normal width
constexpr double kSmallestPointSize = 6.0;
constexpr double kPointSizeStep = 0.5;

}  // namespace

bool captionsFit(const QFont& font, const std::vector<CaptionBox>& boxes)
{
    const QFontMetrics metrics(font);
    for (const CaptionBox& box : boxes) {
        if (metrics.height() > box.size.height() || metrics.horizontalAdvance(box.caption) > box.size.width())
            return false;
    }
    return true;
}

QFont fontFittingCaptions(QFont font, const std::vector<CaptionBox>& boxes)
{
    if (captionsFit(font, boxes))
        return font;
    // A font given in pixels is turned into points once, so that it can be
    // made smaller in the same steps.
    if (font.pointSizeF() <= 0)
        font.setPointSizeF(QFontInfo(font).pointSizeF());
    for (double points = font.pointSizeF(); points >= kSmallestPointSize; points -= kPointSizeStep) {
        QFont candidate = font;
        candidate.setPointSizeF(points);
        for (int stretch = QFont::Unstretched; stretch >= kNarrowestStretch; --stretch) {
            candidate.setStretch(stretch);
            if (captionsFit(candidate, boxes))
                return candidate;
        }
    }
    QFont smallest = font;
    smallest.setPointSizeF(kSmallestPointSize);
    smallest.setStretch(kNarrowestStretch);
    return smallest;
}

}  // namespace wrenfield::ui
