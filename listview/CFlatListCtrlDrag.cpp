// The file list's drag and drop: rows dragged to a new place in the join order, and files
// dropped from the file manager.
#include "listview/CFlatListCtrl.h"

#include "listview/RowMove.h"
#include "platform/core/LocalPath.h"
#include "platform/widgets/DragImage.h"
#include "platform/widgets/MessageBox.h"

#include <QApplication>
#include <QDropEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimerEvent>
#include <QUrl>

namespace {

constexpr int kScrollInterval = 100; // ms, one line per tick
constexpr int kDropProbeX = 8;       // the target is the row at this x, wherever the pointer is
const QColor kDragKeyColour(0, 255, 0);
constexpr int kMaxShownUri = 260; // bytes of a refused link that the box names

// A refused URI as readable as it can be, control characters marked.
QString ShownUri(const QByteArray& uri) {
    QString shown = DisplayPath(QByteArray::fromPercentEncoding(uri));
    for (QChar& ch : shown)
        if (ch.unicode() < 0x20)
            ch = QChar::ReplacementCharacter;
    return shown;
}

// A drop only reads the files: copy where the source offers it, else link, and move only
// when nothing else is offered.
Qt::DropAction ReadOnlyDropAction(Qt::DropActions offered) {
    if (offered & Qt::CopyAction)
        return Qt::CopyAction;
    if (offered & Qt::LinkAction)
        return Qt::LinkAction;
    if (offered & Qt::MoveAction)
        return Qt::MoveAction;
    return Qt::IgnoreAction;
}

} // namespace

// What a drop from outside carries: the files to add, in order, and the names of what cannot be
// added: local files that cannot be opened as given, and links to anything else among them.
// Nothing at all when the drop carries no file.
struct CFlatListCtrl::DroppedFiles {
    QList<FilePath> paths;
    QStringList refused;
    bool IsEmpty() const { return paths.isEmpty() && refused.isEmpty(); }
};

// The list's rows as the move sees them.
class CFlatListCtrl::RowList final : public IRowList {
public:
    explicit RowList(CFlatListCtrl& list) : m_list(list) {}
    int GetRowCount() const override { return m_list.rowCount(); }
    void InsertRowCopy(int nSource, int nAt) override {
        const bool bSelected = m_list.IsRowSelected(nSource);
        const QModelIndex current = m_list.currentIndex();
        const bool bFocused = current.isValid() && current.row() == nSource;
        m_list.insertRow(nAt);
        const int nFrom = nSource >= nAt ? nSource + 1 : nSource;
        // The items carry every column's text, the image, the item data and the state bits;
        // the source row is deleted next, so they move rather than copy.
        for (int c = 0; c < m_list.columnCount(); ++c) {
            if (QTableWidgetItem* pItem = m_list.takeItem(nFrom, c))
                m_list.setItem(nAt, c, pItem);
        }
        if (bSelected)
            m_list.SetRowSelected(nAt, true);
        if (bFocused)
            m_list.selectionModel()->setCurrentIndex(m_list.model()->index(nAt, current.column()),
                                                     QItemSelectionModel::NoUpdate);
    }
    void DeleteRow(int nRow) override { m_list.removeRow(nRow); }

private:
    CFlatListCtrl& m_list;
};

QRect CFlatListCtrl::GetRowRect(int nRow) const {
    return QRect(-horizontalOffset(), rowViewportPosition(nRow), horizontalHeader()->length(),
                 rowHeight(nRow));
}

void CFlatListCtrl::mouseMoveEvent(QMouseEvent* e) {
    const QPoint ptClient = e->position().toPoint();
    if (m_pDragImage) {
        // The button came up where the list could not see it: end as a release would.
        if (!(e->buttons() & Qt::LeftButton))
            OnEndDrag();
        else
            OnDragMouseMove(ptClient, e->globalPosition().toPoint());
        return;
    }
    StopAutoScroll();
    if (m_nPressRow >= 0 && (e->buttons() & Qt::LeftButton)) {
        // A press on a row drags rows; it never stretches a selection rectangle.
        if (!m_bDragTried &&
            (ptClient - m_ptPress).manhattanLength() > QApplication::startDragDistance()) {
            m_bDragTried = true;
            m_bSelectOnRelease = false;
            OnBeginDrag(ptClient, e->globalPosition().toPoint());
        }
        return;
    }
    QTableWidget::mouseMoveEvent(e);
}

void CFlatListCtrl::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) {
        if (m_pDragImage) {
            OnEndDrag();
        } else if (m_bSelectOnRelease && m_nPressRow < rowCount()) {
            selectionModel()->setCurrentIndex(model()->index(m_nPressRow, 0),
                                              QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
        }
        m_nPressRow = -1;
        m_bSelectOnRelease = false;
    }
    QTableWidget::mouseReleaseEvent(e);
}

void CFlatListCtrl::OnBeginDrag(const QPoint& ptClient, const QPoint& ptScreen) {
    m_nPrevDropIndex = -1;
    m_nPrevDropState = 0;
    m_bDropTargetMarked = false;
    m_aDragRows.clear();
    for (int r = GetNextSelectedItem(-1); r >= 0; r = GetNextSelectedItem(r))
        m_aDragRows.push_back(r);
    if (m_aDragRows.empty())
        return;
    m_pDragImage.reset();
    QPoint ptHotSpot;
    m_pDragImage = BuildDragImage(ptClient, ptHotSpot);
    if (!m_pDragImage)
        return;
    ImageList_BeginDrag(*m_pDragImage, 0, ptHotSpot.x(), ptHotSpot.y());
    ImageList_DragEnter(nullptr, ptScreen.x(), ptScreen.y());
    viewport()->grabMouse();
    // Moves without a button then still arrive, should the release be lost on the way.
    m_bHadMouseTracking = viewport()->hasMouseTracking();
    viewport()->setMouseTracking(true);
}

std::unique_ptr<CImageList> CFlatListCtrl::BuildDragImage(const QPoint& ptCursor,
                                                          QPoint& ptHotSpot) const {
    // Only rows on screen can be grabbed, and an image of 500 rows would be mostly off it.
    const QRect visible = viewport()->rect();
    QRect rcUnion;
    for (int r : m_aDragRows)
        rcUnion |= GetRowRect(r) & visible;
    if (rcUnion.isEmpty())
        return nullptr;

    const qreal dpr = viewport()->devicePixelRatioF();
    QPixmap bitmap(rcUnion.size() * dpr);
    if (bitmap.isNull())
        return nullptr;
    bitmap.setDevicePixelRatio(dpr);
    bitmap.fill(kDragKeyColour);
    {
        QPainter dc(&bitmap);
        for (int r : m_aDragRows) {
            const QRect rcRow = GetRowRect(r) & visible;
            if (!rcRow.isEmpty())
                dc.drawPixmap(rcRow.topLeft() - rcUnion.topLeft(), viewport()->grab(rcRow));
        }
    }
    auto pImage = std::make_unique<CImageList>();
    if (!pImage->Create(rcUnion.width(), rcUnion.height(), ILC_MASK, 0, 1) ||
        pImage->AddMasked(bitmap, kDragKeyColour) != 0)
        return nullptr;
    ptHotSpot = ptCursor - rcUnion.topLeft();
    return pImage;
}

void CFlatListCtrl::OnDragMouseMove(const QPoint& ptClient, const QPoint& ptScreen) {
    ImageList_DragMove(ptScreen.x(), ptScreen.y());
    ImageList_DragLeave(nullptr);

    // Over the header, another window or below the last row the target stays.
    const QPoint ptProbe(kDropProbeX, ptClient.y());
    if (WindowFromPoint(viewport()->mapToGlobal(ptProbe)) == viewport())
        SelectDropTarget(indexAt(ptProbe).row());

    // The viewport starts at the header's bottom edge and ends at the list's inner bottom.
    if (ptClient.y() < 0)
        StartAutoScroll(1);
    else if (ptClient.y() > viewport()->height())
        StartAutoScroll(2);
    else
        StopAutoScroll();

    ImageList_DragEnter(nullptr, ptScreen.x(), ptScreen.y());
}

void CFlatListCtrl::OnEndDrag() {
    StopAutoScroll();
    viewport()->releaseMouse();
    viewport()->setMouseTracking(m_bHadMouseTracking);
    ImageList_DragLeave(nullptr);
    ImageList_EndDrag();
    m_pDragImage.reset();
    // Released before any row was marked: the rows stay where they are.
    if (m_bDropTargetMarked)
        MoveDraggedRows();
}

void CFlatListCtrl::SelectDropTarget(int nRow) {
    if (nRow < 0 || nRow >= rowCount())
        return;
    const int nOld = m_nPrevDropIndex;
    RestoreDropTarget();
    m_nPrevDropIndex = nRow;
    m_nPrevDropState = IsRowSelected(nRow) ? LVIS_SELECTED : 0;
    SetRowSelected(nRow, true);
    m_nDropIndex = nRow;
    m_bDropTargetMarked = true;
    QRegion changed(GetRowRect(nRow));
    if (nOld >= 0 && nOld < rowCount())
        changed += GetRowRect(nOld);
    viewport()->repaint(changed);
}

void CFlatListCtrl::RestoreDropTarget() {
    if (m_nPrevDropIndex >= 0 && m_nPrevDropIndex < rowCount())
        SetRowSelected(m_nPrevDropIndex, (m_nPrevDropState & LVIS_SELECTED) != 0);
}

void CFlatListCtrl::MoveDraggedRows() {
    RestoreDropTarget();
    RowList rows(*this);
    ::MoveDraggedRows(rows, m_aDragRows, m_nDropIndex);
}

void CFlatListCtrl::StartAutoScroll(int nDirection) {
    if (m_nScrollTimer == 0)
        m_nScrollTimer = startTimer(kScrollInterval);
    m_nScrollDirection = nDirection;
}

void CFlatListCtrl::StopAutoScroll() {
    if (m_nScrollTimer == 0)
        return;
    killTimer(m_nScrollTimer);
    m_nScrollTimer = 0;
    m_nScrollDirection = 0;
}

void CFlatListCtrl::timerEvent(QTimerEvent* e) {
    if (m_nScrollTimer != 0 && e->timerId() == m_nScrollTimer && m_pDragImage) {
        OnDragScrollTimer();
        return;
    }
    QTableWidget::timerEvent(e);
}

void CFlatListCtrl::OnDragScrollTimer() {
    // Until this drag marks a row, the steps start from the row it was begun on.
    const int nFrom = m_bDropTargetMarked ? m_nDropIndex : m_nPressRow;
    const bool bUp = m_nScrollDirection == 1;
    ImageList_DragShowNolock(false);
    verticalScrollBar()->triggerAction(bUp ? QAbstractSlider::SliderSingleStepSub
                                           : QAbstractSlider::SliderSingleStepAdd);
    SelectDropTarget(bUp ? nFrom - 1 : nFrom + 1);
    ImageList_DragShowNolock(true);
}

CFlatListCtrl::DroppedFiles CFlatListCtrl::AcceptShellDrag(QDropEvent* e) const {
    DroppedFiles files;
    const Qt::DropAction action = ReadOnlyDropAction(e->possibleActions());
    // During a row drag the list takes no new rows: the indices being moved must hold.
    bool anyFile = false;
    if (action != Qt::IgnoreAction && !IsDraggingRows()) {
        for (const QByteArray& uri : DroppedFileUris(e->mimeData())) {
            const FileUri file = ParseFileUri(uri);
            anyFile = anyFile || file.bFile;
            if (file.path)
                files.paths << *file.path;
            else if (file.bFile)
                files.refused << ShownUri(uri);
            else // a link among files: named, its start at most
                files.refused << ShownUri(uri.left(kMaxShownUri)) + (uri.size() > kMaxShownUri
                                                                         ? QStringLiteral("...")
                                                                         : QString());
        }
    }
    // A drag of links alone, or of text, is not for the list.
    if (!anyFile) {
        e->ignore();
        return {};
    }
    e->setDropAction(action);
    e->accept();
    return files;
}

void CFlatListCtrl::dragEnterEvent(QDragEnterEvent* e) {
    AcceptShellDrag(e);
}

void CFlatListCtrl::dragMoveEvent(QDragMoveEvent* e) {
    AcceptShellDrag(e);
}

void CFlatListCtrl::dropEvent(QDropEvent* e) {
    const DroppedFiles files = AcceptShellDrag(e);
    if (files.IsEmpty())
        return;
    // Answering "moved" would let the source delete its files; the drop only read them.
    if (e->dropAction() == Qt::MoveAction)
        e->setDropAction(Qt::IgnoreAction);
    // The source waits for the drop to return: rows and boxes come after.
    QMetaObject::invokeMethod(
        this, [this, files] { OnDropFiles(files); }, Qt::QueuedConnection);
}

void CFlatListCtrl::OnDropFiles(const DroppedFiles& files) {
    EnsureImageList();
    if (files.paths.size() + rowCount() > kMaxFilesPerJoin) {
        AfxMessageBox(QString::fromLatin1(kTooManyFilesText), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    // Items that no longer exist have no icon and are skipped there.
    for (const FilePath& path : files.paths)
        AddFileRow(path);
    if (!files.refused.isEmpty())
        AfxMessageBox(FilesNotAddedText(files.refused), MB_OK | MB_ICONEXCLAMATION);
}
