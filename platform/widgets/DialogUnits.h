// Dialog templates are laid out in dialog units, which scale with the dialog's font.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

struct DialogBaseUnits {
    int nBaseX; // average character width
    int nBaseY; // character height
};

DialogBaseUnits GetDialogBaseUnits(const QFont& font);

// x * baseX / 4, y * baseY / 8, truncated, as dialog templates are mapped.
QRect MapDialogRect(const QRect& dlu, const DialogBaseUnits& base);
QSize MapDialogSize(const QSize& dlu, const DialogBaseUnits& base);
