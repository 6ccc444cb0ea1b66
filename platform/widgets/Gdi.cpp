#include "platform/widgets/Gdi.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include <cstdlib>

namespace {
std::optional<int> s_bitsOverride;

// Minor-axis offset of step i of n for a total minor distance d, rounded to nearest.
int RoundedStep(int d, int i, int n) {
    const int num = 2 * std::abs(d) * i + n;
    const int v = num / (2 * n);
    return d < 0 ? -v : v;
}
} // namespace

int GetDeviceBitsPixel(const QWidget* pWnd) {
    if (s_bitsOverride)
        return *s_bitsOverride;
    const QScreen* pScreen = pWnd ? pWnd->screen() : nullptr;
    if (!pScreen)
        pScreen = QGuiApplication::primaryScreen();
    return pScreen ? pScreen->depth() : 0;
}

void SetDeviceBitsPixelForTesting(std::optional<int> nBits) {
    s_bitsOverride = nBits;
}

void GdiLine(QPainter& dc, const QPoint& from, const QPoint& to, const QColor& color) {
    const int dx = to.x() - from.x();
    const int dy = to.y() - from.y();
    if (dx == 0 && dy == 0)
        return;
    if (dx == 0) {
        const int top = dy > 0 ? from.y() : to.y() + 1;
        dc.fillRect(from.x(), top, 1, std::abs(dy), color);
        return;
    }
    if (dy == 0) {
        const int left = dx > 0 ? from.x() : to.x() + 1;
        dc.fillRect(left, from.y(), std::abs(dx), 1, color);
        return;
    }
    const int n = std::max(std::abs(dx), std::abs(dy));
    const bool xMajor = std::abs(dx) >= std::abs(dy);
    for (int i = 0; i < n; ++i) {
        const int x = from.x() + (xMajor ? (dx > 0 ? i : -i) : RoundedStep(dx, i, n));
        const int y = from.y() + (xMajor ? RoundedStep(dy, i, n) : (dy > 0 ? i : -i));
        dc.fillRect(x, y, 1, 1, color);
    }
}

void GdiPolyline(QPainter& dc, std::initializer_list<QPoint> points, const QColor& color) {
    const QPoint* prev = nullptr;
    for (const QPoint& pt : points) {
        if (prev)
            GdiLine(dc, *prev, pt, color);
        prev = &pt;
    }
}

void FillSolidRect(QPainter& dc, const QRect& rect, const QColor& color) {
    dc.fillRect(rect, color);
}

void InvertRect(QPainter& dc, const QRect& rect) {
    const QPainter::CompositionMode old = dc.compositionMode();
    dc.setCompositionMode(QPainter::RasterOp_NotDestination);
    dc.fillRect(rect, Qt::black);
    dc.setCompositionMode(old);
}

void Draw3dRect(QPainter& dc, int x, int y, int cx, int cy, const QColor& light,
                const QColor& dark) {
    if (cx <= 0 || cy <= 0)
        return;
    dc.fillRect(x, y, cx - 1, 1, light);
    dc.fillRect(x, y, 1, cy - 1, light);
    dc.fillRect(x + cx - 1, y, 1, cy, dark);
    dc.fillRect(x, y + cy - 1, cx, 1, dark);
}

QImage WithTransparentKey(const QImage& image, const QColor& crKey) {
    QImage keyed = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = crKey.rgb() & 0x00FFFFFF;
    for (int y = 0; y < keyed.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x) {
            if ((line[x] & 0x00FFFFFF) == key)
                line[x] = qRgba(0, 0, 0, 0);
        }
    }
    return keyed;
}
