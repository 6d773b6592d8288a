#pragma once
// Recolouring of the window's bitmap: pixels of the design-time button face become the colour of
// what the picture sits on in the running system, so the picture blends into the window.
#include <QColor>
#include <QImage>

class QTabWidget;

namespace modBitmap {

// Every pixel exactly of colour `from` repainted in `to`, on a 32-bit copy of the image.
QImage ReplaceColor(const QImage& image, QRgb from, const QColor& to);

// The colour a page of the tab widget shows: the style paints the pane behind the pages, often
// lighter than a button.
QColor TabPageColor(const QTabWidget* tabs);

// The design-time button face the bitmap was drawn on.
inline constexpr QRgb DesignButtonFace = 0xFFD4D0C8;  // red 212, green 208, blue 200

}  // namespace modBitmap
