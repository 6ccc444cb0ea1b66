#include "listview/CFlatListCtrl.h"

#include "listview/CFlatHeaderCtrl.h"
#include "listview/RowMove.h"
#include "listview/RowSort.h"
#include "platform/core/LocalPath.h"
#include "platform/widgets/DragImage.h"
#include "platform/widgets/Gdi.h"
#include "platform/widgets/MessageBox.h"
#include "platform/widgets/Shell.h"

#include <QCoreApplication>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>
#include <numeric>

namespace {
constexpr int kIconSize = 16;

unsigned ImageListFlags(int nBitsPixel) {
    switch (nBitsPixel) {
    case 4:
        return ILC_COLOR4 | ILC_MASK;
    case 8:
        return ILC_COLOR8 | ILC_MASK;
    case 16:
        return ILC_COLOR16 | ILC_MASK;
    case 24:
        return ILC_COLOR24 | ILC_MASK;
    case 32:
        return ILC_COLOR32 | ILC_MASK;
    default:
        return ILC_MASK;
    }
}

// A file's row; a screen reader hears where it stands, as the row moves.
class FileRowItem : public QTableWidgetItem {
public:
    using QTableWidgetItem::QTableWidgetItem;

    QVariant data(int role) const override {
        if (role != Qt::AccessibleDescriptionRole || tableWidget() == nullptr)
            return QTableWidgetItem::data(role);
        QString text = QCoreApplication::translate("CFlatListCtrl", "row %1 of %2")
                           .arg(row() + 1)
                           .arg(tableWidget()->rowCount());
        const auto* list = qobject_cast<const CFlatListCtrl*>(tableWidget());
        if (list != nullptr && !list->SortDirectionSpoken().isEmpty() &&
            list->currentRow() == row())
            text += QStringLiteral(", ") + list->SortDirectionSpoken();
        return text;
    }
};
} // namespace

// The list's rows as the sort sees them.
class CFlatListCtrl::RowTable final : public IRowTable {
public:
    explicit RowTable(CFlatListCtrl& list) : m_list(list) {}
    int GetRowCount() const override { return m_list.rowCount(); }
    int GetColumnCount() const override { return m_list.m_wndHeader->GetItemCount(); }
    std::string GetRowText(int nRow, int nColumn) const override {
        // A path compares as its bytes: the same as its UTF-8 text when it is text, and a
        // name that is not text still has a place of its own.
        const QTableWidgetItem* pItem = m_list.item(nRow, nColumn);
        if (nColumn == 0 && pItem && pItem->data(kItemPathRole).isValid())
            return pItem->data(kItemPathRole).value<FilePath>().bytes().toStdString();
        return pItem ? pItem->text().toStdString() : std::string();
    }
    void ExchangeRows(int nRow1, int nRow2) override {
        // The items carry every column's text, the image, the item data and the state bits.
        for (int c = 0; c < m_list.columnCount(); ++c) {
            QTableWidgetItem* p1 = m_list.takeItem(nRow1, c);
            QTableWidgetItem* p2 = m_list.takeItem(nRow2, c);
            if (p2)
                m_list.setItem(nRow1, c, p2);
            if (p1)
                m_list.setItem(nRow2, c, p1);
        }
        // Selection and focus are the view's: they move by hand.
        const bool sel1 = m_list.IsRowSelected(nRow1);
        const bool sel2 = m_list.IsRowSelected(nRow2);
        if (sel1 != sel2) {
            m_list.SetRowSelected(nRow1, sel2);
            m_list.SetRowSelected(nRow2, sel1);
        }
        QItemSelectionModel* sm = m_list.selectionModel();
        const QModelIndex current = sm->currentIndex();
        if (current.isValid() && (current.row() == nRow1 || current.row() == nRow2)) {
            const int nRow = current.row() == nRow1 ? nRow2 : nRow1;
            sm->setCurrentIndex(m_list.model()->index(nRow, current.column()),
                                QItemSelectionModel::NoUpdate);
        }
    }

private:
    CFlatListCtrl& m_list;
};

CFlatListCtrl::CFlatListCtrl(QWidget* parent)
    : QTableWidget(parent), m_wndHeader(new CFlatHeaderCtrl(this)) {
    setHorizontalHeader(m_wndHeader);
    connect(m_wndHeader, &CFlatHeaderCtrl::ItemClick, this, &CFlatListCtrl::OnHeaderItemClick);
    m_wndHeader->setStretchLastSection(false);

    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(std::max(fontMetrics().height(), kIconSize) + 2);
    SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::PreventContextMenu);
    setTabKeyNavigation(false);
    setWordWrap(false);
    // By item, a single column wider than the list could not be scrolled at all.
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setIconSize(QSize(kIconSize, kIconSize));
    // Rows are dragged by the list's own code; files come from the file manager.
    setDragEnabled(false);
    viewport()->setAcceptDrops(true);
    InstallFocusPainting();
    InstallAccessibility();

    for (QScrollBar* pBar : {verticalScrollBar(), horizontalScrollBar()}) {
        connect(pBar, &QAbstractSlider::actionTriggered, this, &CFlatListCtrl::OnScrollBarUsed);
        connect(pBar, &QAbstractSlider::sliderPressed, this, &CFlatListCtrl::OnScrollBarUsed);
    }
}

CFlatListCtrl::~CFlatListCtrl() {
    if (m_nScrollTimer != 0)
        killTimer(m_nScrollTimer);
    if (m_pDragImage)
        ImageList_EndDrag();
}

CFlatHeaderCtrl* CFlatListCtrl::GetHeaderCtrl() const {
    return m_wndHeader;
}

void CFlatListCtrl::SetExtendedStyle(DWORD dwExStyle) {
    m_dwExStyle = dwExStyle;
    setShowGrid(dwExStyle & LVS_EX_GRIDLINES);
    setSelectionBehavior((dwExStyle & LVS_EX_FULLROWSELECT) ? QAbstractItemView::SelectRows
                                                            : QAbstractItemView::SelectItems);
    // The list's header takes the drag style from the list, as the platform's does.
    if (dwExStyle & LVS_EX_HEADERDRAGDROP)
        m_wndHeader->ModifyStyle(0, HDS_DRAGDROP);
    else
        m_wndHeader->ModifyStyle(HDS_DRAGDROP, 0);
}

bool CFlatListCtrl::EnsureImageList() {
    if (m_bImageListReady)
        return true;
    const int nBits = GetDeviceBitsPixel(this);
    if (nBits == 0 && !m_bToldNoDC) {
        // The depth only picks the image format: carry on with the default one.
        m_bToldNoDC = true;
        AfxMessageBox(QStringLiteral("can't get DC"), MB_OK | MB_ICONEXCLAMATION);
    }
    if (!m_imageList.Create(kIconSize, kIconSize, ImageListFlags(nBits), 1, 2))
        return false;
    m_bImageListReady = true;
    return true;
}

void CFlatListCtrl::ResetImageList() {
    m_imageList.DeleteImageList();
    m_bImageListReady = false;
}

int CFlatListCtrl::AddFileRow(const QString& path) {
    const std::optional<FilePath> file = FilePath::fromText(path);
    return file ? AddFileRow(*file) : -1;
}

int CFlatListCtrl::AddFileRow(const FilePath& path) {
    if (!EnsureImageList())
        return -1;
    const int nItem = rowCount();
    const int nImage = m_imageList.GetImageCount();
    const QIcon icon = ShellGetSmallIcon(path);
    if (icon.isNull())
        return -1;
    if (m_imageList.ReplaceIcon(-1, icon) != nImage)
        return -1;

    auto* pItem = new FileRowItem(path.text());
    pItem->setData(kItemPathRole, QVariant::fromValue(path));
    pItem->setIcon(QIcon(m_imageList.GetImage(nImage)));
    pItem->setData(kItemImageRole, nImage);
    pItem->setData(kItemDataRole, QVariant::fromValue<qulonglong>(kIncludeInJoin));
    pItem->setData(kItemStateRole, 0u);
    insertRow(nItem);
    setItem(nItem, 0, pItem);
    // A list without a current row shows no focus frame and tells a screen reader nothing:
    // the first row that comes in is current (not selected), so the arrows work at once.
    if (!currentIndex().isValid())
        selectionModel()->setCurrentIndex(model()->index(nItem, 0), QItemSelectionModel::NoUpdate);
    return nItem;
}

int CFlatListCtrl::GetItemCount() const {
    return rowCount();
}

DWORD_PTR CFlatListCtrl::GetItemData(int nItem) const {
    const QTableWidgetItem* pItem = item(nItem, 0);
    return pItem ? static_cast<DWORD_PTR>(pItem->data(kItemDataRole).toULongLong()) : 0;
}

QString CFlatListCtrl::GetItemText(int nItem, int nSubItem) const {
    const QTableWidgetItem* pItem = item(nItem, nSubItem);
    return pItem ? pItem->text() : QString();
}

FilePath CFlatListCtrl::GetItemPath(int nItem) const {
    const QTableWidgetItem* pItem = item(nItem, 0);
    return pItem ? pItem->data(kItemPathRole).value<FilePath>() : FilePath();
}

int CFlatListCtrl::GetItemImage(int nItem) const {
    const QTableWidgetItem* pItem = item(nItem, 0);
    return pItem ? pItem->data(kItemImageRole).toInt() : -1;
}

UINT CFlatListCtrl::GetItemStateBits(int nItem) const {
    const QTableWidgetItem* pItem = item(nItem, 0);
    return pItem ? pItem->data(kItemStateRole).toUInt() : 0;
}

void CFlatListCtrl::SetItemStateBits(int nItem, UINT nState) {
    if (QTableWidgetItem* pItem = item(nItem, 0))
        pItem->setData(kItemStateRole, nState);
}

int CFlatListCtrl::GetNextSelectedItem(int nStart) const {
    for (int r = std::max(nStart + 1, 0); r < rowCount(); ++r)
        if (IsRowSelected(r))
            return r;
    return -1;
}

bool CFlatListCtrl::IsRowSelected(int nRow) const {
    return selectionModel()->isSelected(model()->index(nRow, 0));
}

void CFlatListCtrl::SetRowSelected(int nRow, bool bSelected) {
    selectionModel()->select(model()->index(nRow, 0), (bSelected ? QItemSelectionModel::Select
                                                                 : QItemSelectionModel::Deselect) |
                                                          QItemSelectionModel::Rows);
}

bool CFlatListCtrl::DeleteItem(int nItem) {
    if (nItem < 0 || nItem >= rowCount())
        return false;
    removeRow(nItem);
    return true;
}

bool CFlatListCtrl::DeleteAllItems() {
    setRowCount(0);
    return true;
}

int CFlatListCtrl::InsertColumn(int nCol, const QString& heading, int nFormat, int nWidth) {
    if (nCol < 0)
        return -1;
    nCol = std::min(nCol, columnCount());
    insertColumn(nCol);
    auto* pHeading = new QTableWidgetItem(heading);
    const Qt::Alignment align = (nFormat & 3) == LVCFMT_RIGHT    ? Qt::AlignRight
                                : (nFormat & 3) == LVCFMT_CENTER ? Qt::AlignHCenter
                                                                 : Qt::AlignLeft;
    pHeading->setTextAlignment(align | Qt::AlignVCenter);
    setHorizontalHeaderItem(nCol, pHeading);
    setColumnWidth(nCol, nWidth);
    m_wndHeader->UpdateSortDescriptions();
    return nCol;
}

namespace {

// The order a move leaves, worked out on row numbers alone: m_aRows[i] is the row that ends
// at i.
class OrderAfterMove final : public IRowList {
public:
    explicit OrderAfterMove(int nRows) : m_aRows(std::size_t(std::max(nRows, 0))) {
        std::iota(m_aRows.begin(), m_aRows.end(), 0);
    }
    int GetRowCount() const override { return int(m_aRows.size()); }
    void InsertRowCopy(int nSource, int nAt) override {
        const int nRow = m_aRows[std::size_t(nSource)];
        m_aRows.insert(m_aRows.begin() + nAt, nRow);
    }
    void DeleteRow(int nRow) override { m_aRows.erase(m_aRows.begin() + nRow); }

    std::vector<int> m_aRows;
};

} // namespace

void CFlatListCtrl::MoveRowsAfter(std::vector<int> aRows, int nDropIndex) {
    // The order a drag there would make, reached by exchanges in place: every row keeps its
    // cells, so none of the objects a screen reader holds for them goes away.
    OrderAfterMove order(rowCount());
    ::MoveDraggedRows(order, aRows, nDropIndex);
    const std::size_t nRows = order.m_aRows.size();
    std::vector<int> aAt(nRows);    // the row now at each place
    std::vector<int> aWhere(nRows); // the place of each row
    std::iota(aAt.begin(), aAt.end(), 0);
    std::iota(aWhere.begin(), aWhere.end(), 0);
    RowTable rows(*this);
    for (std::size_t i = 0; i < nRows; ++i) {
        const int j = aWhere[std::size_t(order.m_aRows[i])];
        if (j == int(i))
            continue;
        rows.ExchangeRows(int(i), j);
        std::swap(aAt[i], aAt[std::size_t(j)]);
        aWhere[std::size_t(aAt[i])] = int(i);
        aWhere[std::size_t(aAt[std::size_t(j)])] = j;
    }
}

bool CFlatListCtrl::SortRows(int nColumn, bool bAscending, int nLow, int nHigh) {
    RowTable rows(*this);
    return ::SortRows(rows, nColumn, bAscending != false, nLow, nHigh) ? true : false;
}

void CFlatListCtrl::OnHeaderItemClick(int nItem, int nButton) {
    if (nButton != 0)
        return;
    m_bSortAscending = nItem == m_nSortColumn ? !m_bSortAscending : true;
    m_nSortColumn = nItem;
    const int nRowBefore = currentRow();
    m_bReordering = true;
    SortRows(m_nSortColumn, m_bSortAscending, 0, -1);
    m_bReordering = false;

    bool bAscending = false;
    const int nMarked = m_wndHeader->GetSortIndicator(&bAscending);
    bAscending = nItem == nMarked ? !bAscending : true;
    m_wndHeader->SetSortIndicator(nItem, bAscending);
    AnnounceOrderChange(nRowBefore, nItem);
}

int CFlatListCtrl::HitTestCell(const QPoint& point, int& nColumn) const {
    nColumn = 0;
    const int nRows = rowCount();
    if (nRows == 0)
        return -1;
    const int nTop = std::max(rowAt(0), 0);
    const int nRowHeight = verticalHeader()->defaultSectionSize();
    const int nPerPage = nRowHeight > 0 ? viewport()->height() / nRowHeight : 0;
    const int nLast = std::min(nTop + nPerPage, nRows - 1);
    const QHeaderView* pHeader = horizontalHeader();
    const int rowLeft = -horizontalOffset();
    for (int r = nTop; r <= nLast; ++r) {
        const QRect bounds(rowLeft, rowViewportPosition(r), pHeader->length(), rowHeight(r));
        if (!bounds.contains(point))
            continue;
        int left = rowLeft;
        for (int p = 0; p < pHeader->count(); ++p) {
            const int c = pHeader->logicalIndex(p);
            if (pHeader->isSectionHidden(c))
                continue;
            const int width = columnWidth(c);
            if (point.x() >= left && point.x() <= left + width) {
                nColumn = c;
                return r;
            }
            left += width;
        }
    }
    return -1;
}

void CFlatListCtrl::SelectAndFocusRow(int nRow) {
    const QModelIndex index = model()->index(nRow, 0);
    selectionModel()->setCurrentIndex(index,
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void CFlatListCtrl::mousePressEvent(QMouseEvent* e) {
    // Another button pressed during a row drag must not reset the press the drag began with.
    if (m_pDragImage)
        return;
    m_nPressRow = -1;
    m_bDragTried = false;
    m_bSelectOnRelease = false;
    if (e->button() == Qt::LeftButton) {
        m_ptPress = e->position().toPoint();
        m_nPressRow = indexAt(m_ptPress).row();
    }
    // A plain press on a selected row may begin dragging every selected row, so the others
    // stay selected until the button comes up without a drag.
    if (m_nPressRow >= 0 && !(e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) &&
        IsRowSelected(m_nPressRow)) {
        m_bSelectOnRelease = true;
        setFocus(Qt::MouseFocusReason);
    } else {
        QTableWidget::mousePressEvent(e);
    }
    // A Ctrl+click toggles the row; selecting it again here would undo a deselection.
    if (e->button() != Qt::LeftButton || (e->modifiers() & Qt::ControlModifier))
        return;
    int nColumn = 0;
    const int nRow = HitTestCell(e->position().toPoint(), nColumn);
    if (nRow < 0)
        return;
    if (nRow != currentRow()) {
        SelectAndFocusRow(nRow);
    } else if (selectionBehavior() == QAbstractItemView::SelectRows && nRow != m_nLastClickedRow) {
        m_nLastClickedRow = nRow;
        SelectAndFocusRow(nRow);
    }
}

namespace {
// Tab and Shift+Tab are left to the window's focus chain, so the other controls can be
// reached without a mouse.
bool IsFocusChainKey(const QKeyEvent* k) {
    return (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) &&
           !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}
} // namespace

bool CFlatListCtrl::event(QEvent* e) {
    // The list wants every other plain key, Enter and Esc included, before the dialog's
    // shortcuts see it.
    if (e->type() == QEvent::ShortcutOverride) {
        const auto* k = static_cast<QKeyEvent*>(e);
        if ((!(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) &&
             !IsFocusChainKey(k)) ||
            IsOrderKey(k)) {
            e->accept();
            return true;
        }
    }
    if (e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut)
        viewport()->update(); // the focus frame, also of an empty list
    if (e->type() == QEvent::Paint) {
        const bool result = QTableWidget::event(e);
        RedrawClippedFrameEdges();
        return result;
    }
    return QTableWidget::event(e);
}

void CFlatListCtrl::keyPressEvent(QKeyEvent* e) {
    // No key edits or moves the rows until the dragged ones have been dropped.
    if (IsDraggingRows() || OnOrderKey(e)) {
        e->accept();
        return;
    }
    if (e->key() == Qt::Key_Delete) {
        // One row per press (and per auto-repeat), no question asked.
        DeleteItem(GetNextSelectedItem(-1));
        e->accept();
        return;
    }
    QTableWidget::keyPressEvent(e);
    e->accept();
}

void CFlatListCtrl::OnScrollBarUsed() {
    if (!hasFocus())
        setFocus(Qt::OtherFocusReason);
}
