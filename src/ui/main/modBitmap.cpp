#include "ui/main/modBitmap.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QTabWidget>

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

QColor TabPageColor(const QTabWidget* tabs)
{
    // The pane painted the way the tab widget paints it, read in its middle, away from its border.
    QStyleOptionTabWidgetFrame option;
    option.initFrom(tabs);
    option.rect = QRect(0, 0, 64, 64);
    option.shape = tabs->tabBar() ? tabs->tabBar()->shape() : QTabBar::RoundedNorth;
    QImage pane(option.rect.size(), QImage::Format_ARGB32);
    pane.fill(tabs->palette().color(QPalette::Window));
    QPainter painter(&pane);
    tabs->style()->drawPrimitive(QStyle::PE_FrameTabWidget, &option, &painter, tabs);
    painter.end();
    return pane.pixelColor(32, 32);
}

}  // namespace modBitmap
