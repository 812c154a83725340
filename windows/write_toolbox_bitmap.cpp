// Writes the toolbox bitmap of Calc as a .bmp file for the resource compiler:
// the file header, then the device-independent bitmap that the shell holds.
// Runs on the build machine.
//   write_toolbox_bitmap OUT.bmp
#include <cstdint>
#include <cstdio>

#include "shell/toolbox_bitmap.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_toolbox_bitmap OUT.bmp\n");
        return 2;
    }
    const auto& dib = wrenfield::shell::toolboxBitmap();
    constexpr std::uint32_t kFileHeaderSize = 14;
    constexpr std::uint32_t kPixelsOffset = kFileHeaderSize + 40 + 16 * 4;
    const std::uint32_t fileSize = kFileHeaderSize + static_cast<std::uint32_t>(dib.size());
    std::uint8_t header[kFileHeaderSize] = {'B', 'M'};
    for (int i = 0; i < 4; ++i) {
        header[2 + i] = static_cast<std::uint8_t>(fileSize >> (8 * i));
        header[10 + i] = static_cast<std::uint8_t>(kPixelsOffset >> (8 * i));
    }
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(header, 1, sizeof header, out) == sizeof header &&
        std::fwrite(dib.data(), 1, dib.size(), out) == dib.size();
    if (std::fclose(out) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
