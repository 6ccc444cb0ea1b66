#include "platform/widgets/Contrast.h"

#include <algorithm>
#include <cmath>

namespace {
double Linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}
} // namespace

double RelativeLuminance(const QColor& c) {
    return 0.2126 * Linear(c.redF()) + 0.7152 * Linear(c.greenF()) + 0.0722 * Linear(c.blueF());
}

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool IsDarkPalette(const QPalette& pal) {
    return RelativeLuminance(pal.color(QPalette::Window)) <
           RelativeLuminance(pal.color(QPalette::WindowText));
}

QColor ReadableOn(const QColor& fg, const QColor& bg, double ratio) {
    if (ContrastRatio(fg, bg) >= ratio)
        return fg;
    // Towards white on a dark ground, towards black on a light one, keeping the hue.
    const QColor target = RelativeLuminance(bg) < 0.18 ? QColor(Qt::white) : QColor(Qt::black);
    for (int step = 1; step <= 20; ++step) {
        const double t = step / 20.0;
        const QColor mixed =
            QColor::fromRgbF(float(fg.redF() + (target.redF() - fg.redF()) * t),
                             float(fg.greenF() + (target.greenF() - fg.greenF()) * t),
                             float(fg.blueF() + (target.blueF() - fg.blueF()) * t));
        if (ContrastRatio(mixed, bg) >= ratio)
            return mixed.toRgb();
    }
    return target;
}

QColor FocusFrameColour(const QColor& bg) {
    return ContrastRatio(bg, Qt::black) >= ContrastRatio(bg, Qt::white) ? QColor(Qt::black)
                                                                        : QColor(Qt::white);
}
