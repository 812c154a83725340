#include "ui/qt/picture_file.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <cstdio>
#include <system_error>

#include "platform/replacing_file.h"

namespace wrenfield::ui {

namespace {

constexpr int kPixelsPerInch = 96;

bool paintSvg(QIODevice& device, QSize size, const QString& title, const PaintRoutine& paint)
{
    QSvgGenerator generator;
    generator.setOutputDevice(&device);
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setResolution(kPixelsPerInch);
    generator.setTitle(title);
    QPainter painter;
    if (!painter.begin(&generator))
        return false;
    paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return painter.end();
}

bool paintPdf(QIODevice& device, QSize size, const QString& title, const PaintRoutine& paint)
{
    QPdfWriter writer(&device);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("Wrenfield"));
    writer.setResolution(kPixelsPerInch);
    // One page of the picture's own size: pixels at 96 to the inch in points.
    const QSizeF points(size.width() * 72.0 / kPixelsPerInch, size.height() * 72.0 / kPixelsPerInch);
    writer.setPageLayout(QPageLayout(QPageSize(points, QPageSize::Point, QString(), QPageSize::ExactMatch),
                                     QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return painter.end();
}

}  // namespace

std::optional<PictureFormat> pictureFormatForFile(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return PictureFormat::Png;
    if (suffix == QLatin1String("svg"))
        return PictureFormat::Svg;
    if (suffix == QLatin1String("pdf"))
        return PictureFormat::Pdf;
    return std::nullopt;
}

QImage pictureImage(QSize size, const PaintRoutine& paint)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    return image;
}

QByteArray pictureSvg(QSize size, const QString& title, const PaintRoutine& paint)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    paintSvg(buffer, size, title, paint);
    buffer.close();
    return bytes;
}

QString writePicture(const QString& path, QSize size, const QString& title, const PaintRoutine& paint)
{
    const std::optional<PictureFormat> format = pictureFormatForFile(path);
    if (!format)
        return QStringLiteral("%1: the picture's format follows the file's extension: .png, .svg or .pdf").arg(path);
    if (size.width() < 1 || size.height() < 1)
        return QStringLiteral("a picture needs a width and a height of at least one pixel");

    // Drawn in memory first, then written through the replacing file: every
    // write is checked, the old picture stays until the new one is whole,
    // and a failure says what the system said ("No space left on device").
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    bool painted = false;
    switch (*format) {
    case PictureFormat::Png:
        painted = pictureImage(size, paint).save(&buffer, "PNG");
        break;
    case PictureFormat::Svg:
        painted = paintSvg(buffer, size, title, paint);
        break;
    case PictureFormat::Pdf:
        painted = paintPdf(buffer, size, title, paint);
        break;
    }
    buffer.close();
    if (!painted || bytes.isEmpty())
        return QStringLiteral("cannot write %1: drawing failed").arg(path);
    try {
        ReplacingFile file(QFile::encodeName(path).toStdString());
        file.stream().write(bytes.constData(), bytes.size());
        file.commit();
    } catch (const std::system_error& error) {
        return QString::fromLocal8Bit(error.what());
    }
    return {};
}

OffscreenGuiApplication::OffscreenGuiApplication()
{
    if (QCoreApplication::instance())
        return;
    // Qt keeps references to these for the application's life.
    static int argc = 1;
    static char name[] = "wrenfield";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt warns on stderr that it has no runtime directory, which drawing
    // pictures does not need; every other message goes through as usual.
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (type == QtWarningMsg && message.contains(QLatin1String("XDG_RUNTIME_DIR")))
            return;
        if (previous)
            previous(type, context, message);
        else
            std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
    });
    application_ = std::make_unique<QGuiApplication>(argc, argv);
}

OffscreenGuiApplication::~OffscreenGuiApplication() = default;

}  // namespace wrenfield::ui
