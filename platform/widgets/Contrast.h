// Colour contrast as the accessibility guidelines measure it, and colours picked to meet it.
#pragma once

#include <QColor>
#include <QPalette>

double RelativeLuminance(const QColor& c);
// From 1 (same luminance) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);
// Whether the palette draws light text on a dark window.
bool IsDarkPalette(const QPalette& pal);
// fg, or fg made lighter or darker until it reads on bg with at least the ratio.
QColor ReadableOn(const QColor& fg, const QColor& bg, double ratio = 4.5);
// Black or white, whichever stands out more on bg (at least 4.58:1 either way).
QColor FocusFrameColour(const QColor& bg);
