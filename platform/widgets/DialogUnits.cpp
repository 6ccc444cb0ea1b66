#include "platform/widgets/DialogUnits.h"

#include <QFontMetrics>

DialogBaseUnits GetDialogBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average over the alphabet, rounded, is how dialog fonts are measured.
    static const QString alphabet =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int width = metrics.horizontalAdvance(alphabet);
    return {(width / 26 + 1) / 2, metrics.height()};
}

QRect MapDialogRect(const QRect& dlu, const DialogBaseUnits& base) {
    const int left = dlu.left() * base.nBaseX / 4;
    const int top = dlu.top() * base.nBaseY / 8;
    const int right = (dlu.left() + dlu.width()) * base.nBaseX / 4;
    const int bottom = (dlu.top() + dlu.height()) * base.nBaseY / 8;
    return QRect(left, top, right - left, bottom - top);
}

QSize MapDialogSize(const QSize& dlu, const DialogBaseUnits& base) {
    return QSize(dlu.width() * base.nBaseX / 4, dlu.height() * base.nBaseY / 8);
}
