#include "listview/CMemDC.h"

#include <QPaintDevice>

CMemDC::CMemDC(QPainter& target, const QRect& rcClip)
    : m_pTargetDC(&target), m_rcClip(rcClip),
      // A printer gets the drawing directly: it has no screen to flicker.
      m_bOffscreen(target.device() && target.device()->devType() != QInternal::Printer &&
                   !rcClip.isEmpty()) {
    if (!m_bOffscreen) {
        m_pTargetDC->save();
        m_pTargetDC->setClipRect(m_rcClip, Qt::IntersectClip);
        return;
    }
    const qreal dpr = target.device()->devicePixelRatio();
    m_bitmap = QImage(m_rcClip.size() * dpr, QImage::Format_RGB32);
    m_bitmap.setDevicePixelRatio(dpr);
    // Not cleared: whoever draws paints its own background.
    m_memDC.begin(&m_bitmap);
    m_memDC.translate(-m_rcClip.topLeft());
    m_memDC.setClipRect(m_rcClip);
}

CMemDC::~CMemDC() {
    if (!m_bOffscreen) {
        m_pTargetDC->restore();
        return;
    }
    m_memDC.end();
    m_pTargetDC->drawImage(m_rcClip.topLeft(), m_bitmap);
}
