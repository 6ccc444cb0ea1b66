// The file list's column header: flat, custom painted, with its own sort mark and pressed
// look. Qt keeps the items, sizes, resizing and clicks.
#pragma once

#include "listview/HeaderItem.h"

#include <QColor>
#include <QHeaderView>
#include <QPointer>
#include <QSize>

#include <optional>
#include <vector>

class CFHDragWnd;
class CImageList;

// The header's parent answers its column-drag notifications (HDN_BEGINDRAG, HDN_ENDDRAG)
// here; true refuses. A parent without this interface accepts both.
class IHeaderNotifyTarget {
public:
    virtual bool OnHeaderNotify(const NMHEADER& nmh) = 0;

protected:
    ~IHeaderNotifyTarget() = default;
};

class CFlatHeaderCtrl : public QHeaderView {
    Q_OBJECT

public:
    explicit CFlatHeaderCtrl(QWidget* parent = nullptr);
    ~CFlatHeaderCtrl() override;

    // Column -1 removes the mark.
    void SetSortIndicator(int nColumn, bool bAscending);
    int GetSortIndicator(bool* pbAscending = nullptr) const;
    // Writes the sort state into each item's accessible description; again after items change.
    void UpdateSortDescriptions();

    // The display gap where a dragged column would land, -1 for none; answers the gap kept.
    int SetHotDivider(int nIndex);
    // The gap at the half of the column under a screen point, -1 when there is none.
    int SetHotDivider(const QPoint& ptScreen);

    // HDS_DRAGDROP is the only style bit the header acts on; off by default.
    void ModifyStyle(DWORD dwRemove, DWORD dwAdd);
    // Item index at each display position.
    std::vector<int> GetOrderArray() const;
    // False, with the order unchanged, unless the array is a permutation of the items.
    bool SetOrderArray(const std::vector<int>& order);

    int GetItemCount() const;
    bool GetItem(int nItem, HDITEM* pItem) const;
    bool GetItemRect(int nItem, QRect* pRect) const;
    int HitTest(HDHITTESTINFO* pInfo) const;
    // Not owned; null for none.
    void SetImageList(CImageList* pImageList);
    CImageList* GetImageList() const { return m_pImageList; }

    // Draws one item into r, already shrunk by the gap on both sides.
    virtual void DrawHeaderItem(QPainter& dc, QRect r, HDITEM hdi, bool bSortColumn,
                                bool bAscending);
    void DrawHeader(QPainter& dc);

signals:
    // A completed click on an item's body; nButton 0 is the left button.
    void ItemClick(int nItem, int nButton);

protected:
    // Owner-drawn items are their owner's business: nothing is drawn here.
    virtual void DrawItem(const DRAWITEMSTRUCT& dis);

    int DrawItemImage(QPainter& dc, const QRect& r, const HDITEM& hdi);
    int DrawItemBitmap(QPainter& dc, const QRect& r, const HDITEM& hdi, bool bRight);
    int DrawItemText(QPainter& dc, const QRect& r, const HDITEM& hdi);
    int DrawSortMark(QPainter& dc, const QRect& r, bool bAscending, bool bRight);

    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool eventFilter(QObject* pWatched, QEvent* e) override;

private:
    friend class CFHDragWnd;

    // True when the parent refuses.
    bool NotifyParent(UINT nCode);
    void BeginDrag();
    void TrackDrag(const QPoint& pt, const QPoint& ptScreen);
    void EndDrag(bool bMayReorder);
    void CancelDrag();
    // Lets Qt finish its press without reporting a click.
    void EndQtPressWithoutClick();
    // The display gap at the half of the column under pt (client), or -1.
    int GapAt(const QPoint& pt) const;
    // Where the drop marker is drawn, if there is one.
    std::optional<int> DropMarkerX() const;
    void ReadColours();
    void TrackHitTest(const QPoint& pt);
    void InvalidateItem(int nItem);
    QRect GetClientRect() const;
    static UINT MouseFlags(const QMouseEvent* e);

    int m_nGap = 6;
    QSize m_sizeSortMark{8, 8};
    int m_nHitItem = -1;
    int m_nHitOrder = -1;
    HDHITTESTINFO m_hitInfo;
    HDITEM m_pressedItem;
    bool m_bTrackingDivider = false;
    int m_nDropDivider = -1;
    QColor m_crDropMark{255, 0, 0};
    bool m_bDragging = false;
    QPointer<CFHDragWnd> m_pDragWindow;
    UINT m_nDownFlags = 0;
    QPoint m_ptDown;
    bool m_bMarkAscending = false;
    int m_nMarkColumn = -1;
    QColor m_crLight;
    QColor m_crShadow;
    QColor m_crFace;
    QColor m_crBtnText;

    CImageList* m_pImageList = nullptr;
    DWORD m_dwStyle = 0;
};
