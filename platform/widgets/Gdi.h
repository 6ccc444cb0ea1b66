// Drawing with the conventions of the Windows graphics interface: one-pixel lines that leave
// out their end point, pixel inversion, 3D frames, the screen's colour depth.
#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>

#include <initializer_list>
#include <optional>

class QPainter;
class QWidget;

// Bits per pixel of the screen the widget is on; 0 when there is no screen at all.
int GetDeviceBitsPixel(const QWidget* pWnd);
// Makes GetDeviceBitsPixel answer the given value (0 = no screen); nullopt ends it.
void SetDeviceBitsPixelForTesting(std::optional<int> nBits);

// The image as 32-bit ARGB with every pixel of the key colour made fully transparent, as a
// masked bitmap is drawn.
QImage WithTransparentKey(const QImage& image, const QColor& crKey);

// A one-pixel line from 'from' up to, not including, 'to'.
void GdiLine(QPainter& dc, const QPoint& from, const QPoint& to, const QColor& color);
// Connected GdiLine segments; only the last point is left out.
void GdiPolyline(QPainter& dc, std::initializer_list<QPoint> points, const QColor& color);

void FillSolidRect(QPainter& dc, const QRect& rect, const QColor& color);
// Every pixel of the rectangle becomes its inverse.
void InvertRect(QPainter& dc, const QRect& rect);
// Top and left edges light, right and bottom edges dark (the dark ones own the corners).
void Draw3dRect(QPainter& dc, int x, int y, int cx, int cy, const QColor& light,
                const QColor& dark);
