#pragma once
// Where windows open: on a screen, whole, and beside the window they belong with.
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace toolkit {

// The top-left corner for a frame of the given size wanted at `wanted`, moved just far enough to lie
// inside `area`; a frame larger than the area starts at the area's left or top edge, so that its
// title bar and its left side stay reachable.
QPoint KeptInside(QPoint wanted, QSize size, const QRect& area);

// Centres the window on the available area of its screen, kept inside that area.
void CentreOnScreen(QWidget* window);

// Moves the window beside `anchor`, on the anchor's screen: to its right when it fits there, else to
// its left, else centred on it; in every case kept inside that screen's available area.
void PlaceBeside(QWidget* window, const QWidget* anchor);

// Shows the window above the others. A platform without windows that a person sees (offscreen,
// minimal) has no stacking order to change and would only warn about it: there it is just shown.
void ShowInFront(QWidget* window);

}  // namespace toolkit
