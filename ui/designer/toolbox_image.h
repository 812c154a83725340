// The control's toolbox bitmap (shell/toolbox_bitmap.h, the one picture the
// component library, the Windows control, Qt Designer and the desktop icon
// all show) as a Qt image.
#pragma once

#include <QImage>

namespace wrenfield::ui {

// 16 × 15 pixels. With `transparentBackground` the silver background pixels
// are left out, for places that draw the picture on their own background.
QImage toolboxImage(bool transparentBackground);

}  // namespace wrenfield::ui
