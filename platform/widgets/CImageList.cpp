#include "platform/widgets/CImageList.h"

#include "platform/widgets/Gdi.h"

#include <QPainter>

bool CImageList::Create(int cx, int cy, unsigned /*nFlags*/, int nInitial, int nGrow) {
    if (cx <= 0 || cy <= 0)
        return false;
    m_size = QSize(cx, cy);
    m_images.clear();
    m_images.reserve(qMax(nInitial, 0) + qMax(nGrow, 0));
    m_bCreated = true;
    return true;
}

void CImageList::DeleteImageList() {
    m_images.clear();
    m_bCreated = false;
}

QPixmap CImageList::Fit(const QPixmap& pixmap) const {
    if (pixmap.deviceIndependentSize().toSize() == m_size)
        return pixmap;
    QPixmap fitted(m_size);
    fitted.fill(Qt::transparent);
    QPainter p(&fitted);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(fitted.rect(), pixmap);
    return fitted;
}

int CImageList::ReplaceIcon(int nImage, const QIcon& icon) {
    if (!m_bCreated || icon.isNull())
        return -1;
    if (nImage == -1)
        return Add(icon.pixmap(m_size));
    const QPixmap pixmap = Fit(icon.pixmap(m_size));
    if (pixmap.isNull() || nImage < 0 || nImage >= GetImageCount())
        return -1;
    m_images[nImage] = pixmap;
    return nImage;
}

int CImageList::Add(const QPixmap& pixmap) {
    if (!m_bCreated || pixmap.isNull())
        return -1;
    m_images.append(Fit(pixmap));
    return GetImageCount() - 1;
}

int CImageList::AddMasked(const QPixmap& bitmap, const QColor& crMask) {
    if (bitmap.isNull())
        return -1;
    return Add(QPixmap::fromImage(WithTransparentKey(bitmap.toImage(), crMask)));
}

QPixmap CImageList::GetImage(int nImage) const {
    if (nImage < 0 || nImage >= GetImageCount())
        return {};
    return m_images[nImage];
}

bool CImageList::GetImageInfo(int nImage, QRect* pRect) const {
    if (nImage < 0 || nImage >= GetImageCount())
        return false;
    if (pRect)
        *pRect = QRect(QPoint(0, 0), m_size);
    return true;
}

bool CImageList::Draw(QPainter& dc, int nImage, const QPoint& pt) const {
    if (nImage < 0 || nImage >= GetImageCount())
        return false;
    dc.drawPixmap(pt, m_images[nImage]);
    return true;
}
