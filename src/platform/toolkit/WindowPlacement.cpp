#include "platform/toolkit/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace toolkit {
namespace {

QRect AvailableArea(const QWidget* window)
{
    const QScreen* screen = window ? window->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

}  // namespace

QPoint KeptInside(QPoint wanted, QSize size, const QRect& area)
{
    // Right and bottom edges first, then left and top: those win when the frame is too large.
    const int x = std::max(std::min(wanted.x(), area.x() + area.width() - size.width()), area.x());
    const int y = std::max(std::min(wanted.y(), area.y() + area.height() - size.height()), area.y());
    return {x, y};
}

void CentreOnScreen(QWidget* window)
{
    const QRect area = AvailableArea(window);
    if (area.isEmpty())
        return;
    const QSize size = window->frameGeometry().size();
    const QPoint centred(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
    window->move(KeptInside(centred, size, area));
}

void PlaceBeside(QWidget* window, const QWidget* anchor)
{
    if (!anchor) {
        CentreOnScreen(window);
        return;
    }
    const QRect area = AvailableArea(anchor);
    const QRect beside = anchor->frameGeometry();
    const QSize size = window->frameGeometry().size();
    QPoint wanted;
    if (beside.x() + beside.width() + size.width() <= area.x() + area.width())
        wanted = {beside.x() + beside.width(), beside.y()};
    else if (beside.x() - size.width() >= area.x())
        wanted = {beside.x() - size.width(), beside.y()};
    else
        wanted = {beside.x() + (beside.width() - size.width()) / 2, beside.y() + (beside.height() - size.height()) / 2};
    if (!area.isEmpty())
        wanted = KeptInside(wanted, size, area);
    window->move(wanted);
}

void ShowInFront(QWidget* window)
{
    window->show();
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
        window->raise();
}

}  // namespace toolkit
