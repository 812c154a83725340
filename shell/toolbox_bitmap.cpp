#include "shell/toolbox_bitmap.h"

#include <string_view>

namespace wrenfield::shell {
namespace {

// A bell curve with the area below a birthweight marker filled: the
// centile. Top row first. '.' silver background, 'k' black outline and axis,
// 'b' blue area under the curve, 'r' red marker.
constexpr std::string_view kPicture[kToolboxHeight] = {
    "................", "................", ".......kk.......", "......kbbk......", ".....kbbbrk.....",
    ".....kbbbrk.....", "....kbbbbr.k....", "....kbbbbr.k....", "...kbbbbbr..k...", "..kbbbbbbr...k..",
    ".kbbbbbbbr....k.", "kbbbbbbbbr.....k", "kkkkkkkkkkkkkkkk", ".........r......", "................",
};

// The standard 16-colour palette, as blue, green, red, reserved.
constexpr std::uint32_t kPalette[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};  // written here as 0xRRGGBB

constexpr std::uint8_t colourIndex(char c)
{
    switch (c) {
    case 'k':
        return 0;
    case 'b':
        return 12;
    case 'r':
        return 9;
    default:
        return 7;
    }
}

constexpr void put32(std::array<std::uint8_t, kToolboxBitmapSize>& out, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

constexpr std::array<std::uint8_t, kToolboxBitmapSize> build()
{
    std::array<std::uint8_t, kToolboxBitmapSize> out{};
    // BITMAPINFOHEADER
    put32(out, 0, 40);
    put32(out, 4, kToolboxWidth);
    put32(out, 8, kToolboxHeight);  // positive: rows bottom-up
    out[12] = 1;                    // planes
    out[14] = 4;                    // bits per pixel
    put32(out, 16, 0);              // uncompressed
    put32(out, 20, (kToolboxWidth / 2) * kToolboxHeight);
    put32(out, 32, 16);  // colours used
    put32(out, 36, 16);  // colours important
    for (std::size_t i = 0; i < 16; ++i) {
        const std::uint32_t rgb = kPalette[i];
        out[40 + 4 * i] = static_cast<std::uint8_t>(rgb & 0xFF);
        out[40 + 4 * i + 1] = static_cast<std::uint8_t>((rgb >> 8) & 0xFF);
        out[40 + 4 * i + 2] = static_cast<std::uint8_t>((rgb >> 16) & 0xFF);
    }
    std::size_t at = 40 + 16 * 4;
    for (int row = kToolboxHeight - 1; row >= 0; --row) {
        const std::string_view line = kPicture[row];
        for (int x = 0; x < kToolboxWidth; x += 2)
            out[at++] = static_cast<std::uint8_t>(colourIndex(line[static_cast<std::size_t>(x)]) << 4 |
                                                  colourIndex(line[static_cast<std::size_t>(x) + 1]));
    }
    return out;
}

constexpr bool pictureIsWholeSize()
{
    for (std::string_view line : kPicture)
        if (line.size() != kToolboxWidth)
            return false;
    return true;
}
static_assert(pictureIsWholeSize());

constexpr std::array<std::uint8_t, kToolboxBitmapSize> kBitmap = build();

}  // namespace

const std::array<std::uint8_t, kToolboxBitmapSize>& toolboxBitmap()
{
    return kBitmap;
}

}  // namespace wrenfield::shell
