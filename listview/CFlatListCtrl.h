// The list of files to join: one row per file, top to bottom in join order. The rows are
// the only store of the files.
#pragma once

#include "listview/CFlatHeaderCtrl.h"
#include "listview/FileRow.h"
#include "platform/core/FilePath.h"
#include "platform/core/WinTypes.h"
#include "platform/widgets/CImageList.h"

#include <QAction>
#include <QList>
#include <QTableWidget>

#include <memory>
#include <vector>

class CFlatHeaderCtrl;

constexpr int LVCFMT_LEFT = 0;
constexpr int LVCFMT_RIGHT = 1;
constexpr int LVCFMT_CENTER = 2;

// The list view's extended styles that the list acts on.
constexpr DWORD LVS_EX_GRIDLINES = 0x0001;
constexpr DWORD LVS_EX_HEADERDRAGDROP = 0x0010; // columns reordered by dragging their headers
constexpr DWORD LVS_EX_FULLROWSELECT = 0x0020;

// Selection, as the drop-target marking remembers it.
constexpr UINT LVIS_SELECTED = 0x0002;
// A row state bit besides selection and focus, which belong to the view.
constexpr UINT LVIS_CUT = 0x0004;

// Where a row keeps what is not its text, on the item of column 0.
constexpr int kItemDataRole = Qt::UserRole;
constexpr int kItemImageRole = Qt::UserRole + 1;
constexpr int kItemStateRole = Qt::UserRole + 2;
// The file's path as the system's bytes (QByteArray); the text only shows it.
constexpr int kItemPathRole = Qt::UserRole + 3;

class CFlatListCtrl : public QTableWidget, public IHeaderNotifyTarget {
    Q_OBJECT

public:
    explicit CFlatListCtrl(QWidget* parent = nullptr);
    ~CFlatListCtrl() override;

    // Index of the new row, or -1 when no row was added (the path has no icon).
    int AddFileRow(const FilePath& path);
    // For a path known as text only: its bytes are the text's encoding.
    int AddFileRow(const QString& path);
    void ResetImageList();

    int GetItemCount() const;
    DWORD_PTR GetItemData(int nItem) const;
    QString GetItemText(int nItem, int nSubItem) const;
    // A row's file exactly as it was added, which the join opens.
    FilePath GetItemPath(int nItem) const;
    int GetItemImage(int nItem) const;
    // Row state bits other than selection and focus (LVIS_CUT, ...).
    UINT GetItemStateBits(int nItem) const;
    void SetItemStateBits(int nItem, UINT nState);
    // The first selected row after nStart, or -1.
    int GetNextSelectedItem(int nStart = -1) const;
    bool DeleteItem(int nItem);
    bool DeleteAllItems();
    int InsertColumn(int nCol, const QString& heading, int nFormat, int nWidth);
    CFlatHeaderCtrl* GetHeaderCtrl() const;
    // The last sort's direction, read with the current row until the current row changes:
    // screen readers speak the row's focus event, not the header's description.
    QString SortDirectionSpoken() const { return m_strSortSpoken; }
    DWORD GetExtendedStyle() const { return m_dwExStyle; }
    void SetExtendedStyle(DWORD dwExStyle);
    // While rows are dragged the list takes no edit, so the rows that move stay the ones the
    // drag began with: no key, no drop, and no action connected with ConnectEdit.
    bool IsDraggingRows() const { return m_pDragImage != nullptr; }
    // Connects an action that edits the rows from outside the list (New, Add, Remove).
    template <typename Edit> void ConnectEdit(QAction* action, Edit edit) {
        connect(action, &QAction::triggered, this, [this, edit] {
            if (!IsDraggingRows())
                edit();
        });
    }
    const CImageList& GetImageList() const { return m_imageList; }

    bool SortRows(int nColumn, bool bAscending, int nLow, int nHigh);

    // Moves the selected rows as Alt+Up, Alt+Down, Alt+Home and Alt+End do; false when
    // nothing moved (no selection, or the rows are already at that edge).
    enum RowStep { kMoveUp, kMoveDown, kMoveToTop, kMoveToBottom };
    bool MoveSelectedRows(RowStep step);
    // The column that the sort key sorts by: the current cell's.
    int SortKeyColumn() const;
    // A cell's text as it is painted: a path too long for its column is cut in its folder
    // part, so the file's name stays in sight.
    QString ShownText(int nRow, int nColumn) const;
    // The row under a viewport point, or -1; the column under it goes to nColumn.
    int HitTestCell(const QPoint& point, int& nColumn) const;

public slots:
    // A completed click on header item nItem; only the left button (0) sorts.
    void OnHeaderItemClick(int nItem, int nButton);

public:
    // Column drags are accepted: Qt's view follows the header's new order by itself.
    bool OnHeaderNotify(const NMHEADER&) override { return false; }

protected:
    bool event(QEvent* e) override;
    bool viewportEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void mousePressEvent(QMouseEvent* e) override;
    // Row drag, and files dropped from the file manager (CFlatListCtrlDrag.cpp).
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void timerEvent(QTimerEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    // Quiet for screen readers while rows are reordered (CFlatListAccessible.cpp).
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;

private:
    class RowTable;
    class RowList;

    void OnBeginDrag(const QPoint& ptClient, const QPoint& ptScreen);
    void OnDragMouseMove(const QPoint& ptClient, const QPoint& ptScreen);
    void OnEndDrag();
    void OnDragScrollTimer();
    struct DroppedFiles;
    void OnDropFiles(const DroppedFiles& files);
    // Accepts or ignores a drag from outside, and says what it carries.
    DroppedFiles AcceptShellDrag(QDropEvent* e) const;
    void SelectDropTarget(int nRow);
    void RestoreDropTarget();
    std::unique_ptr<CImageList> BuildDragImage(const QPoint& ptCursor, QPoint& ptHotSpot) const;
    void MoveDraggedRows();
    // Moves the rows (ascending) to just after nDropIndex, as a drag there would.
    void MoveRowsAfter(std::vector<int> aRows, int nDropIndex);
    // Alt with the arrows, Home and End, and the sort key (CFlatListCtrlKeys.cpp).
    static bool IsOrderKey(const QKeyEvent* e);
    bool OnOrderKey(QKeyEvent* e);
    void StartAutoScroll(int nDirection);
    void StopAutoScroll();
    bool IsRowSelected(int nRow) const;
    void SetRowSelected(int nRow, bool bSelected);
    QRect GetRowRect(int nRow) const;

    bool EnsureImageList();
    void SelectAndFocusRow(int nRow);
    void OnScrollBarUsed();
    // Whether the text of a cell is cut short (shown with an ellipsis) by its column.
    bool IsCellTextCut(int nRow, int nColumn) const;
    void RedrawClippedFrameEdges();
    void InstallFocusPainting();
    // Header items that sort through their accessible press (CFlatListAccessible.cpp).
    void InstallAccessibility();
    // After a move or a sort (nSortedColumn): tells a screen reader the current row's new
    // place (it was at nRowBefore), and a sort's direction on the header item.
    void AnnounceOrderChange(int nRowBefore, int nSortedColumn = -1);
    // Around the current row, or inside the empty list; empty for none.
    QRect FocusFrameRect() const;

    DWORD m_dwExStyle = 0;
    int m_nSortColumn = -1;
    bool m_bSortAscending = false;
    bool m_bImageListReady = false;
    CImageList m_imageList;
    CFlatHeaderCtrl* m_wndHeader;
    int m_nLastClickedRow = -1;
    std::vector<int> m_aDragRows;
    int m_nDropIndex = -1;
    std::unique_ptr<CImageList> m_pDragImage;
    int m_nPrevDropIndex = -1;
    unsigned m_nPrevDropState = 0;
    int m_nScrollDirection = 0;
    int m_nScrollTimer = 0;

    // Without a screen the colour depth is unknown; said once, not for every file.
    bool m_bToldNoDC = false;

    // The left press that may begin a row drag.
    int m_nPressRow = -1;
    QPoint m_ptPress;
    bool m_bDragTried = false;
    // A plain press on a selected row keeps the selection for a drag; without one, the
    // release selects that row alone.
    bool m_bSelectOnRelease = false;
    // Whether this drag has marked a target yet; m_nDropIndex may be an earlier drag's.
    bool m_bDropTargetMarked = false;
    bool m_bHadMouseTracking = false;
    // Rows are being moved or sorted: the current row passes through places it does not stay
    // in, which a screen reader must not hear.
    bool m_bReordering = false;
    QString m_strSortSpoken;
    bool m_bAnnouncing = false; // the current row is set again for a screen reader
};
