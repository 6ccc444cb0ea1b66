#include "listview/CFlatHeaderCtrl.h"

#include "listview/CFHDragWnd.h"
#include "listview/CMemDC.h"
#include "platform/widgets/CImageList.h"
#include "platform/widgets/Contrast.h"
#include "platform/widgets/Gdi.h"

#include <QAbstractItemModel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include <algorithm>
#include <optional>

namespace {
// The pressed item's text is kept up to this many characters, terminator included.
constexpr int kPressedTextMax = 80;
constexpr UINT kPressedMask =
    HDI_WIDTH | HDI_TEXT | HDI_FORMAT | HDI_BITMAP | HDI_IMAGE | HDI_ORDER;
} // namespace

CFlatHeaderCtrl::CFlatHeaderCtrl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    m_pressedItem.mask = kPressedMask;
    m_pressedItem.cchTextMax = kPressedTextMax;
    // This header draws its own mark; column dragging is not Qt's either.
    setSortIndicatorShown(false);
    setSectionsMovable(false);
    setSectionsClickable(true);
    setHighlightSections(false);
    // Every paint covers its whole area, so there is nothing to erase first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    ReadColours();
    connect(this, &QHeaderView::sectionClicked, this,
            [this](int nItem) { emit ItemClick(nItem, 0); });
}

CFlatHeaderCtrl::~CFlatHeaderCtrl() {
    // A drag still under way takes its floating window and the mouse with it.
    delete m_pDragWindow.data();
    if (QWidget::mouseGrabber() == viewport())
        viewport()->releaseMouse();
}

void CFlatHeaderCtrl::ReadColours() {
    const QPalette pal = palette();
    m_crLight = pal.color(QPalette::Light);
    m_crShadow = pal.color(QPalette::Dark);
    m_crFace = pal.color(QPalette::Button);
    m_crBtnText = pal.color(QPalette::ButtonText);
}

void CFlatHeaderCtrl::changeEvent(QEvent* e) {
    QHeaderView::changeEvent(e);
    if (e->type() == QEvent::PaletteChange || e->type() == QEvent::ApplicationPaletteChange ||
        e->type() == QEvent::StyleChange) {
        ReadColours();
        viewport()->update();
    }
}

void CFlatHeaderCtrl::SetSortIndicator(int nColumn, bool bAscending) {
    m_nMarkColumn = nColumn;
    m_bMarkAscending = bAscending;
    UpdateSortDescriptions();
    viewport()->update();
}

void CFlatHeaderCtrl::UpdateSortDescriptions() {
    // A screen reader cannot see the triangle: each item says the direction in words.
    QAbstractItemModel* pModel = model();
    if (pModel == nullptr)
        return;
    for (int c = 0; c < pModel->columnCount(); ++c) {
        const QString text = c != m_nMarkColumn ? tr("Not sorted")
                             : m_bMarkAscending ? tr("Sorted ascending, A to Z")
                                                : tr("Sorted descending, Z to A");
        pModel->setHeaderData(c, Qt::Horizontal, text, Qt::AccessibleDescriptionRole);
    }
}

int CFlatHeaderCtrl::GetSortIndicator(bool* pbAscending) const {
    if (pbAscending)
        *pbAscending = m_bMarkAscending;
    return m_nMarkColumn;
}

void CFlatHeaderCtrl::SetImageList(CImageList* pImageList) {
    m_pImageList = pImageList;
    viewport()->update();
}

int CFlatHeaderCtrl::GetItemCount() const {
    return model() ? count() : 0;
}

bool CFlatHeaderCtrl::GetItem(int nItem, HDITEM* pItem) const {
    if (!pItem || nItem < 0 || nItem >= GetItemCount())
        return false;
    const QAbstractItemModel* m = model();
    const UINT mask = pItem->mask;
    if (mask & HDI_WIDTH)
        pItem->cxy = isSectionHidden(nItem) ? 0 : sectionSize(nItem);
    if (mask & HDI_TEXT) {
        QString text = m->headerData(nItem, orientation(), Qt::DisplayRole).toString();
        if (pItem->cchTextMax > 0 && text.size() >= pItem->cchTextMax)
            text.truncate(pItem->cchTextMax - 1);
        pItem->pszText = text;
    }
    if (mask & HDI_FORMAT) {
        const QVariant align = m->headerData(nItem, orientation(), Qt::TextAlignmentRole);
        const Qt::Alignment a = Qt::Alignment(align.toInt());
        int fmt = (a & Qt::AlignRight) ? HDF_RIGHT : (a & Qt::AlignHCenter) ? HDF_CENTER : HDF_LEFT;
        const QVariant text = m->headerData(nItem, orientation(), Qt::DisplayRole);
        if (text.isValid() && !text.toString().isEmpty())
            fmt |= HDF_STRING;
        if (m->headerData(nItem, orientation(), kHeaderImageRole).isValid())
            fmt |= HDF_IMAGE;
        if (m->headerData(nItem, orientation(), kHeaderBitmapRole).isValid())
            fmt |= HDF_BITMAP;
        fmt |= m->headerData(nItem, orientation(), kHeaderFormatRole).toInt() &
               (HDF_BITMAP_ON_RIGHT | HDF_OWNERDRAW);
        pItem->fmt = fmt;
    }
    if (mask & HDI_BITMAP)
        pItem->hbm = m->headerData(nItem, orientation(), kHeaderBitmapRole).value<QPixmap>();
    if (mask & HDI_IMAGE)
        pItem->iImage = m->headerData(nItem, orientation(), kHeaderImageRole).toInt();
    if (mask & HDI_ORDER)
        pItem->iOrder = visualIndex(nItem);
    return true;
}

bool CFlatHeaderCtrl::GetItemRect(int nItem, QRect* pRect) const {
    if (!pRect || nItem < 0 || nItem >= GetItemCount())
        return false;
    const int width = isSectionHidden(nItem) ? 0 : sectionSize(nItem);
    *pRect = QRect(sectionViewportPosition(nItem), 0, width, viewport()->height());
    return true;
}

QRect CFlatHeaderCtrl::GetClientRect() const {
    // The client area starts at the first column, as if the header scrolled with the list.
    return QRect(-offset(), 0, viewport()->width() + offset(), viewport()->height());
}

int CFlatHeaderCtrl::HitTest(HDHITTESTINFO* pInfo) const {
    if (!pInfo)
        return -1;
    pInfo->flags = HHT_NOWHERE;
    pInfo->iItem = -1;
    const QPoint pt = pInfo->pt;
    if (pt.y() < 0 || pt.y() >= viewport()->height())
        return -1;
    const int nVisual = visualIndexAt(pt.x());
    if (nVisual < 0)
        return -1;
    const int nItem = logicalIndex(nVisual);
    // The divider zone is the one in which Qt starts a resize.
    const int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
    const int left = sectionViewportPosition(nItem);
    const bool atLeft = pt.x() < left + grip;
    const bool atRight = pt.x() > left + sectionSize(nItem) - grip;
    int nDivider = -1;
    if (atLeft) {
        for (int v = nVisual - 1; v >= 0 && nDivider < 0; --v)
            if (!isSectionHidden(logicalIndex(v)))
                nDivider = logicalIndex(v);
    } else if (atRight) {
        nDivider = nItem;
    }
    if (nDivider >= 0 && sectionResizeMode(nDivider) == Interactive) {
        pInfo->flags = HHT_ONDIVIDER;
        pInfo->iItem = nDivider;
    } else {
        pInfo->flags = HHT_ONHEADER;
        pInfo->iItem = nItem;
    }
    return pInfo->iItem;
}

void CFlatHeaderCtrl::TrackHitTest(const QPoint& pt) {
    m_hitInfo = HDHITTESTINFO{};
    m_hitInfo.pt = pt;
    m_nHitItem = HitTest(&m_hitInfo);
    if (m_nHitItem >= 0)
        m_nHitOrder = visualIndex(m_nHitItem);
    // Plain moves do not reach Qt's header, which would otherwise set the resize cursor.
    const bool onDivider = m_hitInfo.flags & HHT_ONDIVIDER;
    if (onDivider != testAttribute(Qt::WA_SetCursor)) {
        if (onDivider)
            setCursor(Qt::SplitHCursor);
        else
            unsetCursor();
    }
}

UINT CFlatHeaderCtrl::MouseFlags(const QMouseEvent* e) {
    UINT flags = 0;
    if (e->buttons() & Qt::LeftButton)
        flags |= MK_LBUTTON;
    if (e->buttons() & Qt::RightButton)
        flags |= MK_RBUTTON;
    if (e->buttons() & Qt::MiddleButton)
        flags |= MK_MBUTTON;
    if (e->modifiers() & Qt::ShiftModifier)
        flags |= MK_SHIFT;
    if (e->modifiers() & Qt::ControlModifier)
        flags |= MK_CONTROL;
    return flags;
}

void CFlatHeaderCtrl::InvalidateItem(int nItem) {
    QRect rc;
    if (GetItemRect(nItem, &rc))
        viewport()->update(rc);
}

void CFlatHeaderCtrl::mousePressEvent(QMouseEvent* e) {
    // While another button is held the mouse is captured: the hit test of that press stands.
    if ((e->buttons() & ~e->button()) == Qt::NoButton)
        TrackHitTest(e->position().toPoint());
    if (e->button() != Qt::LeftButton) {
        QHeaderView::mousePressEvent(e);
        return;
    }
    m_nDownFlags = MouseFlags(e);
    m_ptDown = e->position().toPoint();
    if (m_nHitItem >= 0) {
        m_pressedItem.mask = kPressedMask;
        m_pressedItem.cchTextMax = kPressedTextMax;
        GetItem(m_nHitItem, &m_pressedItem);
        if (m_hitInfo.flags & HHT_ONHEADER)
            InvalidateItem(m_nHitItem);
        if (m_hitInfo.flags & HHT_ONDIVIDER)
            m_bTrackingDivider = true;
    }
    QHeaderView::mousePressEvent(e);
}

void CFlatHeaderCtrl::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        QHeaderView::mouseReleaseEvent(e);
        return;
    }
    m_nDownFlags = MouseFlags(e);
    m_ptDown = e->position().toPoint();
    if (m_nHitItem >= 0) {
        m_bTrackingDivider = false;
        if ((m_hitInfo.flags & HHT_ONHEADER) && m_bDragging) {
            EndDrag(true);
            // A drag is not a click: dropping back on the pressed column must not sort.
            EndQtPressWithoutClick();
            return;
        }
        if (m_hitInfo.flags & HHT_ONHEADER)
            InvalidateItem(m_nHitItem);
    }
    QHeaderView::mouseReleaseEvent(e);
}

void CFlatHeaderCtrl::paintEvent(QPaintEvent* e) {
    QPainter painter(viewport());
    CMemDC memDC(painter, e->rect());
    DrawHeader(memDC.GetDC());
}

void CFlatHeaderCtrl::DrawItem(const DRAWITEMSTRUCT&) {}

void CFlatHeaderCtrl::DrawHeader(QPainter& dc) {
    const QRect clip = dc.hasClipping() ? dc.clipBoundingRect().toAlignedRect() : dc.window();
    if (clip.isEmpty())
        return;
    FillSolidRect(dc, clip, m_crFace);
    const QRect K = GetClientRect();

    dc.save();
    dc.setRenderHint(QPainter::Antialiasing, false);
    dc.setFont(font());
    dc.setBackground(m_crFace);
    dc.setPen(m_crBtnText);

    const int n = GetItemCount();
    int nLastShown = n - 1;
    while (nLastShown >= 0 && isSectionHidden(logicalIndex(nLastShown)))
        --nLastShown;
    int total = 0;
    for (int p = 0; p < n; ++p) {
        const int i = logicalIndex(p);
        if (isSectionHidden(i))
            continue;
        HDITEM hdi;
        hdi.mask = HDI_WIDTH | HDI_TEXT | HDI_FORMAT | HDI_BITMAP | HDI_IMAGE;
        hdi.cchTextMax = kPressedTextMax;
        GetItem(i, &hdi);
        QRect R;
        GetItemRect(i, &R);
        const int right = R.x() + R.width();
        if (right >= clip.x() && R.x() <= clip.x() + clip.width()) {
            if (hdi.fmt & HDF_OWNERDRAW) {
                DRAWITEMSTRUCT dis;
                dis.CtlType = ODT_HEADER;
                dis.itemID = static_cast<UINT>(i);
                dis.itemAction = ODA_DRAWENTIRE;
                dis.hwndItem = this;
                dis.hDC = &dc;
                dis.rcItem = R;
                DrawItem(dis);
            } else {
                DrawHeaderItem(dc, R.adjusted(m_nGap, 0, -m_nGap, 0), hdi, i == m_nMarkColumn,
                               m_bMarkAscending);
                if ((m_nDownFlags & MK_LBUTTON) && m_nHitItem == i &&
                    (m_hitInfo.flags & HHT_ONHEADER))
                    InvertRect(dc, R);
            }
            if (p < nLastShown) {
                const int top = R.y() + 2;
                const int bottom = R.y() + R.height() - 2;
                GdiLine(dc, QPoint(right - 1, top), QPoint(right - 1, bottom), m_crShadow);
                GdiLine(dc, QPoint(right, top), QPoint(right, bottom), m_crLight);
            }
        }
        total += hdi.cxy;
    }

    const int bottom = K.y() + K.height();
    if (total > 0)
        Draw3dRect(dc, K.x(), K.y(), total + 1, K.height(), m_crLight, m_crShadow);

    if (const std::optional<int> marker = DropMarkerX()) {
        const int x = *marker;
        dc.setPen(QPen(m_crDropMark, 0));
        dc.setBrush(m_crDropMark);
        const QPoint up[] = {{x - 4, bottom - 1}, {x, bottom - 5}, {x + 4, bottom - 1}};
        const QPoint down[] = {{x - 4, 0}, {x, 4}, {x + 4, 0}};
        dc.drawPolygon(up, 3);
        dc.drawPolygon(down, 3);
    }
    dc.restore();
}

std::optional<int> CFlatHeaderCtrl::DropMarkerX() const {
    const int n = GetItemCount();
    if (m_nDropDivider < 0 || n == 0)
        return std::nullopt;
    QRect R;
    if (m_nDropDivider < n) {
        GetItemRect(logicalIndex(m_nDropDivider), &R);
        return R.x() - 1;
    }
    GetItemRect(logicalIndex(n - 1), &R);
    return R.x() + R.width();
}

void CFlatHeaderCtrl::DrawHeaderItem(QPainter& dc, QRect r, HDITEM hdi, bool bSortColumn,
                                     bool bAscending) {
    const int G = m_nGap;
    const int W = m_sizeSortMark.width();
    // Moves the right edge, the left one staying put.
    auto shiftRight = [&r](int d) { r.setRight(r.right() + d); };
    int w = 0;
    // A bitmap on the right keeps room for the mark to its left; the text gets what is left.
    auto drawRightBitmapMarkAndText = [&](bool bBitmapOnRight) {
        if (bBitmapOnRight) {
            const int reserve = bSortColumn ? W + G : 0;
            r.setLeft(r.left() + reserve);
            if ((w = DrawItemBitmap(dc, r, hdi, true)) > 0)
                shiftRight(-(w + G));
            r.setLeft(r.left() - reserve);
        }
        if (bSortColumn)
            shiftRight(-(DrawSortMark(dc, r, bAscending, true) + 2 * G));
        DrawItemText(dc, r, hdi);
    };
    switch (hdi.fmt & HDF_JUSTIFYMASK) {
    case HDF_LEFT:
        if ((w = DrawItemImage(dc, r, hdi)) > 0)
            r.setLeft(r.left() + w + G);
        if (bSortColumn)
            shiftRight(-(W + G));
        if ((w = DrawItemText(dc, r, hdi)) > 0)
            r.setLeft(r.left() + w + G);
        if (bSortColumn) {
            shiftRight(W + G);
            r.setLeft(r.left() + DrawSortMark(dc, r, bAscending, false) + G);
        }
        DrawItemBitmap(dc, r, hdi, true);
        break;
    case HDF_RIGHT:
        if (!(hdi.fmt & HDF_BITMAP_ON_RIGHT) && (w = DrawItemBitmap(dc, r, hdi, false)) > 0)
            r.setLeft(r.left() + w + G);
        if ((w = DrawItemImage(dc, r, hdi)) > 0)
            r.setLeft(r.left() + w + G);
        drawRightBitmapMarkAndText(hdi.fmt & HDF_BITMAP_ON_RIGHT);
        break;
    case HDF_CENTER:
        if ((w = DrawItemImage(dc, r, hdi)) > 0)
            r.setLeft(r.left() + w + G);
        drawRightBitmapMarkAndText(true);
        break;
    default:
        break;
    }
}

namespace {
// The vertical middle of r, with the bottom edge outside as in a Windows RECT.
int Middle(const QRect& r) {
    return (r.y() + r.y() + r.height()) / 2;
}
bool Fits(const QRect& r, int width) {
    return r.width() > 0 && width <= r.width();
}
} // namespace

int CFlatHeaderCtrl::DrawItemImage(QPainter& dc, const QRect& r, const HDITEM& hdi) {
    QRect rcImage;
    if (!(hdi.fmt & HDF_IMAGE) || !m_pImageList ||
        !m_pImageList->GetImageInfo(hdi.iImage, &rcImage))
        return 0;
    if (!Fits(r, rcImage.width()))
        return 0;
    m_pImageList->Draw(dc, hdi.iImage, QPoint(r.x(), Middle(r) - (rcImage.height() >> 1)));
    return rcImage.width();
}

int CFlatHeaderCtrl::DrawItemBitmap(QPainter& dc, const QRect& r, const HDITEM& hdi, bool bRight) {
    if (!(hdi.fmt & HDF_BITMAP) || hdi.hbm.isNull())
        return 0;
    const QSize size = hdi.hbm.size() / hdi.hbm.devicePixelRatio();
    if (!Fits(r, size.width()))
        return 0;
    const int x = bRight ? r.x() + r.width() - size.width() : r.x();
    dc.drawPixmap(x, Middle(r) - (size.height() >> 1), hdi.hbm);
    return size.width();
}

int CFlatHeaderCtrl::DrawItemText(QPainter& dc, const QRect& r, const HDITEM& hdi) {
    if (r.width() <= 0 || !(hdi.mask & HDI_TEXT) || !(hdi.fmt & HDF_STRING))
        return 0;
    Qt::Alignment align;
    switch (hdi.fmt & HDF_JUSTIFYMASK) {
    case HDF_LEFT:
        align = Qt::AlignLeft;
        break;
    case HDF_RIGHT:
        align = Qt::AlignRight;
        break;
    case HDF_CENTER:
        align = Qt::AlignHCenter;
        break;
    default:
        return 0;
    }
    const QFontMetrics fm = dc.fontMetrics();
    const int width = fm.horizontalAdvance(hdi.pszText);
    const QString shown = fm.elidedText(hdi.pszText, Qt::ElideRight, r.width());
    dc.setPen(m_crBtnText);
    dc.drawText(r, align | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    const int used = std::min(width, r.width());
    return used < 1 ? 0 : used;
}

int CFlatHeaderCtrl::DrawSortMark(QPainter& dc, const QRect& r, bool bAscending, bool bRight) {
    const int W = m_sizeSortMark.width();
    const int H = m_sizeSortMark.height();
    if (r.width() <= 0 || W > r.width())
        return 0;
    const int T = r.y() + ((r.height() - H - 1) >> 1);
    const int Bm = T + H - 1;
    const int L = bRight ? r.x() + r.width() - W : r.x();
    const int M = (W - 1) >> 1;
    // The etched edges in the palette's light and dark, each pushed until it stands out from
    // the face at 3:1: the plain ones hardly show (1.2:1 for the light edge on a light face).
    const QColor light = ReadableOn(m_crLight, m_crFace, 3.0);
    const QColor shadow = ReadableOn(m_crShadow, m_crFace, 3.0);
    if (bAscending) {
        GdiPolyline(dc, {{L + M + 1, T}, {L + W - 1, Bm}, {L, Bm}}, light);
        GdiLine(dc, {L + M, T}, {L, Bm}, shadow);
    } else {
        GdiLine(dc, {L + M + 1, Bm}, {L + W - 1, T}, light);
        GdiPolyline(dc, {{L + M, Bm}, {L, T}, {L + W, T}}, shadow);
    }
    return W;
}
