// The control's toolbox picture: 16 by 15 pixels in 16 colours, as the
// device-independent bitmap a bitmap resource holds (header, palette,
// pixel rows bottom-up, no file header).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace wrenfield::shell {

inline constexpr int kToolboxWidth = 16;
inline constexpr int kToolboxHeight = 15;
inline constexpr std::size_t kToolboxBitmapSize = 40 + 16 * 4 + (kToolboxWidth / 2) * kToolboxHeight;

const std::array<std::uint8_t, kToolboxBitmapSize>& toolboxBitmap();

}  // namespace wrenfield::shell
