#pragma once
// Recolouring of the window's bitmap: pixels of the design-time button face become the button face
// of the running system, so the picture blends into the window.
#include <QColor>
#include <QImage>

namespace modBitmap {

// Every pixel exactly of colour `from` repainted in `to`, on a 32-bit copy of the image.
QImage ReplaceColor(const QImage& image, QRgb from, const QColor& to);

// The design-time button face the bitmap was drawn on.
inline constexpr QRgb DesignButtonFace = 0xFFD4D0C8;  // red 212, green 208, blue 200

}  // namespace modBitmap
