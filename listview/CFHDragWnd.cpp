#include "listview/CFHDragWnd.h"

#include "listview/CFlatHeaderCtrl.h"
#include "listview/CMemDC.h"
#include "platform/widgets/DragImage.h"
#include "platform/widgets/Gdi.h"

#include <QPainter>
#include <QPaintEvent>

CFHDragWnd::CFHDragWnd() {
    // Shown under a held button: it must not take the activation or the mouse from the header.
    MakeFloatingWindow(this);
    // DrawContent covers every pixel.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    // The header keeps only a guarded pointer: whoever closes the window disposes of it.
    setAttribute(Qt::WA_DeleteOnClose);
}

bool CFHDragWnd::Create(const QRect& rect, CFlatHeaderCtrl* pHeader, int nItem) {
    m_pHeader = pHeader;
    m_nItem = nItem;
    setGeometry(rect);
    create();
    return testAttribute(Qt::WA_WState_Created) ? true : false;
}

void CFHDragWnd::paintEvent(QPaintEvent* e) {
    QPainter painter(this);
    CMemDC memDC(painter, e->rect());
    DrawContent(memDC.GetDC());
}

void CFHDragWnd::DrawContent(QPainter& dc) {
    if (!m_pHeader)
        return;
    const CFlatHeaderCtrl& h = *m_pHeader;
    QRect Q = rect();
    dc.save();
    dc.setRenderHint(QPainter::Antialiasing, false);
    FillSolidRect(dc, Q, h.m_crFace);
    Draw3dRect(dc, Q.x(), Q.y(), Q.width(), Q.height(), h.m_crLight, h.m_crShadow);
    dc.setFont(h.font());
    dc.setBackground(h.m_crFace);
    dc.setPen(h.m_crBtnText);
    Q.adjust(h.m_nGap, 0, -h.m_nGap, 0);
    m_pHeader->DrawHeaderItem(dc, Q, h.m_pressedItem, h.m_nMarkColumn == m_nItem,
                              h.m_bMarkAscending);
    dc.restore();
}
