// Painting into an off-screen image of the area being repainted, delivered in one copy.
#pragma once

#include <QImage>
#include <QPainter>
#include <QRect>

class CMemDC {
public:
    // rcClip is the area being repainted, in the target's coordinates. Drawing through
    // GetDC() uses the target's coordinates and is clipped to rcClip.
    CMemDC(QPainter& target, const QRect& rcClip);
    ~CMemDC();
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    QPainter& GetDC() { return m_bOffscreen ? m_memDC : *m_pTargetDC; }
    bool IsOffscreen() const { return m_bOffscreen; }

private:
    QImage m_bitmap;
    QPainter m_memDC;
    QPainter* m_pTargetDC;
    QRect m_rcClip;
    bool m_bOffscreen;
};
