#include "ui/main/modBitmap.h"

namespace modBitmap {

QImage ReplaceColor(const QImage& image, QRgb from, const QColor& to)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    // A colour that cannot be used falls back to white.
    const QRgb replacement = to.isValid() ? to.rgba() : qRgb(255, 255, 255);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] | 0xFF000000u) == (from | 0xFF000000u) && qAlpha(line[x]) == 255)
                line[x] = replacement;
    }
    return out;
}

}  // namespace modBitmap
