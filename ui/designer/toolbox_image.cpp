#include "ui/designer/toolbox_image.h"

#include <QByteArray>
#include <cstdint>

#include "shell/toolbox_bitmap.h"

namespace wrenfield::ui {

namespace {

void put16(QByteArray& out, std::uint16_t v)
{
    out.append(char(v & 0xFF)).append(char(v >> 8));
}

void put32(QByteArray& out, std::uint32_t v)
{
    put16(out, std::uint16_t(v & 0xFFFF));
    put16(out, std::uint16_t(v >> 16));
}

}  // namespace

QImage toolboxImage(bool transparentBackground)
{
    // The resource holds the bitmap without its file header: put one in
    // front (type "BM", file size, reserved, offset of the pixels).
    const auto& bitmap = shell::toolboxBitmap();
    constexpr std::uint32_t kFileHeaderSize = 14;
    constexpr std::uint32_t kPixelOffset = kFileHeaderSize + 40 + 16 * 4;
    QByteArray file;
    file.append('B').append('M');
    put32(file, kFileHeaderSize + std::uint32_t(bitmap.size()));
    put32(file, 0);
    put32(file, kPixelOffset);
    file.append(reinterpret_cast<const char*>(bitmap.data()), qsizetype(bitmap.size()));

    QImage image = QImage::fromData(file, "BMP").convertToFormat(QImage::Format_ARGB32);
    if (transparentBackground) {
        const QRgb silver = qRgb(0xC0, 0xC0, 0xC0);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) == silver)
                    image.setPixel(x, y, qRgba(0, 0, 0, 0));
    }
    return image;
}

}  // namespace wrenfield::ui
