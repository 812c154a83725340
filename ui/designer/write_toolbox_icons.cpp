// Writes the calculator's desktop icon at several sizes, from the control's
// toolbox bitmap: DIR/SIZE/wrenfield-calculator.png for each SIZE, the
// picture enlarged by whole pixels and centred on a transparent square.
//   write_toolbox_icons DIR SIZE...
#include <QDir>
#include <QImage>
#include <QPainter>
#include <cstdio>

#include "ui/designer/toolbox_image.h"

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s DIR SIZE...\n", argv[0]);
        return 2;
    }
    const QImage picture = wrenfield::ui::toolboxImage(true);
    if (picture.isNull()) {
        std::fprintf(stderr, "%s: the toolbox bitmap does not decode\n", argv[0]);
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        const int size = QString::fromLocal8Bit(argv[i]).toInt();
        if (size < picture.width()) {
            std::fprintf(stderr, "%s: size %s is smaller than the picture\n", argv[0], argv[i]);
            return 2;
        }
        const int scale = size / picture.width();
        const QImage large = picture.scaled(picture.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        QImage icon(size, size, QImage::Format_ARGB32);
        icon.fill(Qt::transparent);
        QPainter painter(&icon);
        painter.drawImage((size - large.width()) / 2, (size - large.height()) / 2, large);
        painter.end();
        const QString dir = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/') + QString::number(size);
        const QString file = dir + QStringLiteral("/wrenfield-calculator.png");
        if (!QDir().mkpath(dir) || !icon.save(file, "PNG")) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(file));
            return 1;
        }
    }
    return 0;
}
