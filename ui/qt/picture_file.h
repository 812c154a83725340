// Pictures drawn by a painting routine, written as PNG, SVG or PDF: the
// format follows the file's extension. Works without a display once a Qt GUI
// application exists (see OffscreenGuiApplication).
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QGuiApplication;
class QPainter;
class QRectF;

namespace wrenfield::ui {

enum class PictureFormat { Png, Svg, Pdf };

// The format of a file name's extension (.png, .svg, .pdf, in any case).
std::optional<PictureFormat> pictureFormatForFile(const QString& path);

// Draws a picture into the area it is given.
using PaintRoutine = std::function<void(QPainter& painter, const QRectF& area)>;

// The picture as an image of `size` pixels on white.
QImage pictureImage(QSize size, const PaintRoutine& paint);

// The picture as an SVG document of `size` pixels, titled `title`.
QByteArray pictureSvg(QSize size, const QString& title, const PaintRoutine& paint);

// Writes the picture to `path` in the format of its extension, replacing the
// file only once the whole picture is written (as a ReplacingFile does: an
// older file keeps its permissions, a link stays a link). A PDF page has the
// picture's proportions, at 96 pixels to the inch. Returns an empty text on
// success, else what went wrong with the system's reason ("cannot write
// c.svg: No space left on device").
QString writePicture(const QString& path, QSize size, const QString& title, const PaintRoutine& paint);

// Creates a Qt GUI application on the offscreen platform unless one exists,
// so that pictures (and their text) can be drawn with no display. Keep the
// object alive while drawing. Call it on the thread that draws.
class OffscreenGuiApplication {
public:
    OffscreenGuiApplication();
    ~OffscreenGuiApplication();
    OffscreenGuiApplication(const OffscreenGuiApplication&) = delete;
    OffscreenGuiApplication& operator=(const OffscreenGuiApplication&) = delete;

private:
    std::unique_ptr<QGuiApplication> application_;
};

}  // namespace wrenfield::ui
