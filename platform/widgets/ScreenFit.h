// Top-level windows kept to the part of their screen that panels leave free, title bar
// included: at large scale factors a window of a fixed size may be near the screen's size.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Where a frame of that place and size goes so that it lies inside area; one larger than the
// area keeps its top left corner inside.
QPoint TopLeftInside(const QRect& frame, const QRect& area);

// Moves the window so that its frame lies inside the available area of its screen. A window
// larger than the area keeps the top left corner of its frame inside, so its title bar can
// still be reached.
void KeepFrameOnScreen(QWidget* window);

// The window's size, at most preferred, whose frame fits the available area of its screen.
QSize FitToScreen(const QWidget* window, QSize preferred);
