#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <cmath>

namespace inkvale {

/// Twips per device-independent pixel: window layouts are designed in twips at 96 dpi.
inline constexpr int kTwipsPerPixel = 15;

/// Twips to device-independent pixels, rounded to the nearest pixel.
[[nodiscard]] constexpr int twipsToPixels(int twips) {
    return (twips >= 0 ? twips + kTwipsPerPixel / 2 : twips - kTwipsPerPixel / 2) / kTwipsPerPixel;
}

/// A designed rectangle (left, top, width, height in twips) in device-independent pixels.
[[nodiscard]] constexpr QRect twipsRect(int left, int top, int width, int height) {
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

/// A designed size in twips, in device-independent pixels.
[[nodiscard]] constexpr QSize twipsSize(int width, int height) {
    return {twipsToPixels(width), twipsToPixels(height)};
}

} // namespace inkvale
