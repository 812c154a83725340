// The growth chart of one pregnancy as an SVG document, for front ends that
// serve or store it and use no Qt themselves. Safe to call from any thread:
// calls are drawn one at a time, on the offscreen platform when the program
// has no Qt application of its own.
#pragma once

#include <string>

#include "reading/result.h"

namespace wrenfield::ui {

inline constexpr int kDefaultChartWidth = 900;
inline constexpr int kDefaultChartHeight = 600;

// The SVG bytes (UTF-8 XML) of the chart of a birth the reading layer has
// read, `width` × `height` pixels. Throws reading::NoChart for a birth
// without a centile, std::invalid_argument for a size below 1 pixel.
std::string pregnancyChartSvg(const reading::BirthResult& baby, int width = kDefaultChartWidth,
                              int height = kDefaultChartHeight);

}  // namespace wrenfield::ui
