// The font the control draws with. The form was laid out for a small system
// font: its labels are just wide and high enough for their captions. The
// control keeps the desktop's default font and, where a caption would not fit
// its box, first narrows the font (down to 75 % of its width) and then makes
// it smaller, half a point at a time, until every caption fits. So no caption
// is ever cut off, whatever font the desktop uses.
#pragma once

#include <QFont>
#include <QSize>
#include <QString>
#include <vector>

namespace wrenfield::ui {

struct CaptionBox {
    QString caption;
    QSize size;  // pixels
};

// Whether every caption fits its box in this font.
bool captionsFit(const QFont& font, const std::vector<CaptionBox>& boxes);

// `font` itself when every caption fits, else the widest and then largest
// variant of it that makes them fit (never smaller than 6 points).
QFont fontFittingCaptions(QFont font, const std::vector<CaptionBox>& boxes);

}  // namespace wrenfield::ui
