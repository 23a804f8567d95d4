#pragma once

#include <QColor>

namespace quiltaro {

// The standard sixteen colours, by index.
namespace palette {
constexpr int black = 0, blue = 1, green = 2, cyan = 3, red = 4, magenta = 5, brown = 6,
              lightGrey = 7, grey = 8, lightBlue = 9, lightGreen = 10, lightCyan = 11,
              lightRed = 12, lightMagenta = 13, yellow = 14, white = 15;
constexpr int count = 16;
} // namespace palette

// Out-of-range indices wrap into the palette rather than fail.
QColor paletteColor(int index);

} // namespace quiltaro
