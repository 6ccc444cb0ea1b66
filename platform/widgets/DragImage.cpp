#include "platform/widgets/DragImage.h"

#include <QApplication>
#include <QBitmap>
#include <QPainter>
#include <QPointer>
#include <QTimer>

namespace {

struct DragState {
    QPointer<DragImageWnd> pWnd;
    QPointer<QWidget> pLock;
    bool bLocked = false;
    bool bShown = false;
    bool bSyncPending = false;
};

DragState& Drag() {
    static DragState s_drag;
    return s_drag;
}

QPoint LockOrigin() {
    const DragState& d = Drag();
    return d.pLock ? d.pLock->mapToGlobal(QPoint(0, 0)) : QPoint(0, 0);
}

void PlaceAt(int x, int y) {
    DragState& d = Drag();
    d.pWnd->move(LockOrigin() + QPoint(x, y) - d.pWnd->GetHotSpot());
}

// The image is a window of its own, so nothing painted beneath it is ever disturbed: hiding it
// around a repaint is only noted, and the window follows once the handler is done. Showing
// and hiding it for real at every pointer move would only make it flicker.
void SyncVisibility() {
    DragState& d = Drag();
    if (d.bSyncPending)
        return;
    d.bSyncPending = true;
    QTimer::singleShot(0, qApp, [] {
        DragState& s = Drag();
        s.bSyncPending = false;
        if (s.pWnd)
            s.pWnd->setVisible(s.bShown);
    });
}

// The window's shape: the image's opaque pixels on every other line, so that the list shows
// through and the marked target stays visible under the dragged rows. A shape needs no
// compositing window manager, which translucency would; whole lines keep it to a few
// rectangles, which the window system moves at every pointer step as cheaply as a plain one.
QBitmap StripedMask(const QPixmap& image, const QSize& size) {
    const QImage pixels = image.toImage()
                              .scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                              .convertToFormat(QImage::Format_ARGB32);
    QImage shape(size, QImage::Format_MonoLSB);
    shape.setColor(0, qRgb(255, 255, 255));
    shape.setColor(1, qRgb(0, 0, 0));
    shape.fill(0);
    for (int y = 0; y < size.height(); y += 2) {
        const auto* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            if (qAlpha(line[x]) != 0)
                shape.setPixel(x, y, 1);
        }
    }
    return QBitmap::fromImage(shape);
}

} // namespace

void MakeFloatingWindow(QWidget* pWnd) {
    pWnd->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput);
    pWnd->setAttribute(Qt::WA_TransparentForMouseEvents);
    pWnd->setAttribute(Qt::WA_ShowWithoutActivating);
    pWnd->setFocusPolicy(Qt::NoFocus);
}

DragImageWnd::DragImageWnd(const QPixmap& image, const QPoint& ptHotSpot)
    : m_image(image), m_ptHotSpot(ptHotSpot) {
    MakeFloatingWindow(this);
    setWindowFlag(Qt::X11BypassWindowManagerHint);
    setFixedSize(image.deviceIndependentSize().toSize());
    setMask(StripedMask(image, size()));
}

void DragImageWnd::paintEvent(QPaintEvent*) {
    QPainter dc(this);
    dc.drawPixmap(0, 0, m_image);
}

bool ImageList_BeginDrag(const CImageList& list, int nImage, int dxHotspot, int dyHotspot) {
    const QPixmap image = list.GetImage(nImage);
    if (image.isNull())
        return false;
    ImageList_EndDrag();
    DragState& d = Drag();
    d.pWnd = new DragImageWnd(image, QPoint(dxHotspot, dyHotspot));
    d.bShown = false;
    d.bLocked = false;
    return true;
}

bool ImageList_DragEnter(QWidget* hwndLock, int x, int y) {
    DragState& d = Drag();
    if (!d.pWnd)
        return false;
    d.pLock = hwndLock;
    d.bLocked = true;
    PlaceAt(x, y);
    d.bShown = true;
    SyncVisibility();
    return true;
}

bool ImageList_DragMove(int x, int y) {
    DragState& d = Drag();
    if (!d.pWnd)
        return false;
    PlaceAt(x, y);
    return true;
}

bool ImageList_DragLeave(QWidget* hwndLock) {
    DragState& d = Drag();
    if (!d.pWnd || (d.bLocked && d.pLock != hwndLock))
        return false;
    d.bLocked = false;
    d.pLock = nullptr;
    d.bShown = false;
    SyncVisibility();
    return true;
}

bool ImageList_DragShowNolock(bool fShow) {
    DragState& d = Drag();
    if (!d.pWnd)
        return false;
    d.bShown = fShow != false;
    SyncVisibility();
    return true;
}

void ImageList_EndDrag() {
    DragState& d = Drag();
    delete d.pWnd.data();
    d.pWnd = nullptr;
    d.pLock = nullptr;
    d.bLocked = false;
    d.bShown = false;
}

namespace {

bool TakesInput(const QWidget* pWnd) {
    return pWnd->isVisible() && !(pWnd->windowFlags() & Qt::WindowTransparentForInput);
}

} // namespace

QWidget* WindowFromPoint(const QPoint& ptScreen) {
    // Not every platform looks through windows that ignore input, and the drag image is always
    // under the pointer. Below it, the active window comes first: it holds the dragging list.
    QWidget* pTop = QApplication::topLevelAt(ptScreen);
    if (pTop != nullptr && !TakesInput(pTop)) {
        pTop = nullptr;
        QWidgetList candidates = QApplication::topLevelWidgets();
        if (QWidget* pActive = QApplication::activeWindow())
            candidates.prepend(pActive);
        for (QWidget* pWnd : candidates) {
            if (TakesInput(pWnd) && pWnd->frameGeometry().contains(ptScreen)) {
                pTop = pWnd;
                break;
            }
        }
    }
    if (pTop == nullptr)
        return nullptr;
    QWidget* pChild = pTop->childAt(pTop->mapFromGlobal(ptScreen));
    return pChild != nullptr ? pChild : pTop;
}
