// Column dragging in the flat header: the threshold, the floating window, the drop gap and
// the new display order.
#include "listview/CFHDragWnd.h"
#include "listview/CFlatHeaderCtrl.h"
#include "listview/ColumnOrder.h"

#include <QApplication>
#include <QMouseEvent>
#include <QRegion>

#include <algorithm>
#include <memory>

void CFlatHeaderCtrl::ModifyStyle(DWORD dwRemove, DWORD dwAdd) {
    m_dwStyle = (m_dwStyle & ~dwRemove) | dwAdd;
}

std::vector<int> CFlatHeaderCtrl::GetOrderArray() const {
    std::vector<int> order(static_cast<std::size_t>(GetItemCount()));
    for (std::size_t p = 0; p < order.size(); ++p)
        order[p] = logicalIndex(static_cast<int>(p));
    return order;
}

bool CFlatHeaderCtrl::SetOrderArray(const std::vector<int>& order) {
    const int n = GetItemCount();
    if (static_cast<int>(order.size()) != n)
        return false;
    std::vector<int> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < n; ++i)
        if (sorted[static_cast<std::size_t>(i)] != i)
            return false;
    // Fill the positions from the left; what is already placed never moves again.
    for (int p = 0; p < n; ++p) {
        const int v = visualIndex(order[static_cast<std::size_t>(p)]);
        if (v != p)
            moveSection(v, p);
    }
    return true;
}

int CFlatHeaderCtrl::SetHotDivider(int nIndex) {
    m_nDropDivider = nIndex;
    viewport()->update();
    return m_nDropDivider;
}

int CFlatHeaderCtrl::SetHotDivider(const QPoint& ptScreen) {
    return SetHotDivider(GapAt(viewport()->mapFromGlobal(ptScreen)));
}

int CFlatHeaderCtrl::GapAt(const QPoint& pt) const {
    HDHITTESTINFO hti;
    hti.pt = pt;
    const int nItem = HitTest(&hti);
    QRect rc;
    if (nItem < 0 || !GetItemRect(nItem, &rc))
        return -1;
    const int middle = (rc.x() + rc.x() + rc.width()) / 2;
    return visualIndex(nItem) + (pt.x() > middle ? 1 : 0);
}

bool CFlatHeaderCtrl::NotifyParent(UINT nCode) {
    auto* pTarget = dynamic_cast<IHeaderNotifyTarget*>(parentWidget());
    if (!pTarget)
        return false;
    NMHEADER nmh;
    nmh.hdr.hwndFrom = this;
    nmh.hdr.idFrom = 0;
    nmh.hdr.code = nCode;
    nmh.iItem = m_nHitItem;
    nmh.iButton = 0;
    nmh.pitem = &m_pressedItem;
    return pTarget->OnHeaderNotify(nmh);
}

void CFlatHeaderCtrl::mouseMoveEvent(QMouseEvent* e) {
    const QPoint pt = e->position().toPoint();
    if ((m_nDownFlags & MK_LBUTTON) && !(e->buttons() & Qt::LeftButton)) {
        // The release went to another window: the press, and any drag, is over.
        CancelDrag();
    }
    if (e->buttons() == Qt::NoButton)
        TrackHitTest(pt);
    if (!(m_nDownFlags & MK_LBUTTON) || m_nHitItem < 0)
        return;
    if (m_bTrackingDivider) {
        QHeaderView::mouseMoveEvent(e);
        return;
    }
    if (!(m_hitInfo.flags & HHT_ONHEADER))
        return;
    if (m_bDragging) {
        TrackDrag(pt, e->globalPosition().toPoint());
        return;
    }
    if (!(m_dwStyle & HDS_DRAGDROP))
        return;
    const int cx = QApplication::startDragDistance();
    const int cy = cx;
    if (pt.x() >= m_ptDown.x() - cx && pt.x() < m_ptDown.x() + cx && pt.y() >= m_ptDown.y() - cy &&
        pt.y() < m_ptDown.y() + cy)
        return;
    BeginDrag();
}

void CFlatHeaderCtrl::BeginDrag() {
    if (!NotifyParent(HDN_BEGINDRAG)) {
        QRect rc;
        GetItemRect(m_nHitItem, &rc);
        auto pWnd = std::make_unique<CFHDragWnd>();
        if (pWnd->Create(QRect(viewport()->mapToGlobal(rc.topLeft()), rc.size()), this, m_nHitItem))
            m_pDragWindow = pWnd.release();
    }
    viewport()->grabMouse();
    m_bDragging = true;
    // A box, a menu or another window taking the mouse ends the drag (eventFilter).
    qApp->installEventFilter(this);
}

void CFlatHeaderCtrl::TrackDrag(const QPoint& pt, const QPoint& ptScreen) {
    if (!m_pDragWindow)
        return;
    int d = GapAt(pt);
    if (d == m_nHitOrder || d == m_nHitOrder + 1)
        d = -1;
    if (d != m_nDropDivider) {
        m_nDropDivider = d;
        viewport()->update();
    }

    const QSize size = m_pDragWindow->size();
    m_pDragWindow->move(ptScreen.x() - (size.width() >> 1), ptScreen.y() - (size.height() >> 1));
    // Centred on the cursor, the window would always cover the marker next to it.
    if (const std::optional<int> x = DropMarkerX()) {
        const QPoint origin = viewport()->mapToGlobal(QPoint(0, 0)) - m_pDragWindow->pos();
        const int bottom = viewport()->height();
        QRegion shown(m_pDragWindow->rect());
        shown -= QRect(*x - 4, 0, 9, 5).translated(origin);
        shown -= QRect(*x - 4, bottom - 5, 9, 5).translated(origin);
        m_pDragWindow->setMask(shown);
    } else {
        m_pDragWindow->clearMask();
    }
    if (m_pDragWindow->isHidden()) {
        // It stays on top once shown.
        m_pDragWindow->show();
        m_pDragWindow->raise();
    }
}

void CFlatHeaderCtrl::EndDrag(bool bMayReorder) {
    qApp->removeEventFilter(this);
    if (!NotifyParent(HDN_ENDDRAG) && bMayReorder && m_nDropDivider >= 0) {
        std::vector<int> order = GetOrderArray();
        if (MoveColumnToGap(order, m_nHitOrder, m_nDropDivider))
            SetOrderArray(order);
    }
    delete m_pDragWindow.data();
    m_pDragWindow = nullptr;
    if (QWidget::mouseGrabber() == viewport())
        viewport()->releaseMouse();
    m_bDragging = false;
    m_nDropDivider = -1;
    viewport()->update();
}

void CFlatHeaderCtrl::CancelDrag() {
    if (m_bDragging)
        EndDrag(false);
    m_nDownFlags &= ~MK_LBUTTON;
    m_bTrackingDivider = false;
    if (m_nHitItem >= 0)
        InvalidateItem(m_nHitItem);
    EndQtPressWithoutClick();
}

void CFlatHeaderCtrl::EndQtPressWithoutClick() {
    // A release outside every item completes Qt's press tracking and reports no click.
    const QPointF outside(-1, -1);
    QMouseEvent release(QEvent::MouseButtonRelease, outside, viewport()->mapToGlobal(outside),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QHeaderView::mouseReleaseEvent(&release);
}

bool CFlatHeaderCtrl::eventFilter(QObject* pWatched, QEvent* e) {
    // The mouse went to another widget, a popup or another window: the release will not
    // come here.
    if (m_bDragging &&
        (QWidget::mouseGrabber() != viewport() || QApplication::activePopupWidget() ||
         (e->type() == QEvent::WindowDeactivate && pWatched == window())))
        CancelDrag();
    return QHeaderView::eventFilter(pWatched, e);
}
