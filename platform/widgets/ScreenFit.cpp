#include "platform/widgets/ScreenFit.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

// The window's frame margins; before the window manager has framed it, those of another
// framed window, or a title bar's worth.
QMargins FrameMargins(const QWidget* window) {
    const QMargins own =
        window->windowHandle() ? window->windowHandle()->frameMargins() : QMargins();
    if (!own.isNull())
        return own;
    for (const QWidget* other : QApplication::topLevelWidgets()) {
        if (other != window && other->isVisible() && other->windowHandle() &&
            !other->windowHandle()->frameMargins().isNull())
            return other->windowHandle()->frameMargins();
    }
    return {8, 40, 8, 8};
}

} // namespace

QPoint TopLeftInside(const QRect& frame, const QRect& area) {
    return {std::clamp(frame.left(), area.left(),
                       std::max(area.left(), area.right() + 1 - frame.width())),
            std::clamp(frame.top(), area.top(),
                       std::max(area.top(), area.bottom() + 1 - frame.height()))};
}

void KeepFrameOnScreen(QWidget* window) {
    const QScreen* screen = window->screen();
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    const QMargins margins = FrameMargins(window);
    const QPoint topLeft = TopLeftInside(window->geometry().marginsAdded(margins), area);
    // Placed by its contents: Qt takes a position as the frame's only once it knows the frame.
    const QPoint contents = topLeft + QPoint(margins.left(), margins.top());
    if (contents != window->geometry().topLeft())
        window->setGeometry(QRect(contents, window->geometry().size()));
}

QSize FitToScreen(const QWidget* window, QSize preferred) {
    const QScreen* screen = window->screen();
    if (screen == nullptr)
        return preferred;
    // Frames differ a little between windows: a few pixels to spare on each side.
    const QMargins frame = FrameMargins(window);
    const QMargins margins(std::max(frame.left(), 4), std::max(frame.top(), 4),
                           std::max(frame.right(), 4), std::max(frame.bottom(), 4));
    const QSize room = screen->availableGeometry().size() -
                       QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
    return preferred.boundedTo(room).expandedTo(window->minimumSize());
}
