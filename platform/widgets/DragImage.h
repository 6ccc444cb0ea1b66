// The drag-image functions of the image lists: one image follows the pointer in a window of
// its own, frameless, topmost, never activated and transparent to the mouse. One drag image
// exists at a time.
#pragma once

#include "platform/core/WinTypes.h"
#include "platform/widgets/CImageList.h"

#include <QPixmap>
#include <QPoint>
#include <QWidget>

// Makes a top-level window float above the others under the pointer: topmost, never
// activated (a tool-tip window, which no platform activates when it is shown) and transparent
// to the mouse, so the widget that holds a drag keeps the mouse. Call before it is shown.
void MakeFloatingWindow(QWidget* pWnd);

// The window that shows the drag image.
class DragImageWnd : public QWidget {
    Q_OBJECT

public:
    DragImageWnd(const QPixmap& image, const QPoint& ptHotSpot);
    const QPixmap& GetImage() const { return m_image; }
    QPoint GetHotSpot() const { return m_ptHotSpot; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QPixmap m_image;
    QPoint m_ptHotSpot;
};

// Starts a drag with image nImage of the list; the hot spot is the point of the image that
// sits under the pointer. The image is not shown until ImageList_DragEnter.
bool ImageList_BeginDrag(const CImageList& list, int nImage, int dxHotspot, int dyHotspot);
// Shows the image at (x, y) relative to the lock window's top-left corner; a null lock
// window is the desktop, so (x, y) is a screen position.
bool ImageList_DragEnter(QWidget* hwndLock, int x, int y);
// Moves the image, relative to the lock window as in ImageList_DragEnter.
bool ImageList_DragMove(int x, int y);
// Hides the image and unlocks the window.
bool ImageList_DragLeave(QWidget* hwndLock);
// Hides or shows the image without unlocking.
bool ImageList_DragShowNolock(bool fShow);
// Ends the drag; its window goes.
void ImageList_EndDrag();

// The window under a screen point, the drag image aside: the deepest widget there, or null.
QWidget* WindowFromPoint(const QPoint& ptScreen);
