// The file list's ordering keys: rows moved with Alt and the arrows, Home and End, and the
// sort that a header click gives.
#include "listview/CFlatListCtrl.h"

#include <QAccessible>
#include <QKeyEvent>

namespace {

// Runs of adjacent rows in an ascending list of rows.
std::vector<std::pair<int, int>> Blocks(const std::vector<int>& aRows) {
    std::vector<std::pair<int, int>> blocks;
    for (int r : aRows) {
        if (!blocks.empty() && blocks.back().second + 1 == r)
            blocks.back().second = r;
        else
            blocks.emplace_back(r, r);
    }
    return blocks;
}

} // namespace

int CFlatListCtrl::SortKeyColumn() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.column() : horizontalHeader()->logicalIndex(0);
}

bool CFlatListCtrl::IsOrderKey(const QKeyEvent* e) {
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::AltModifier)
        return e->key() == Qt::Key_Up || e->key() == Qt::Key_Down || e->key() == Qt::Key_Home ||
               e->key() == Qt::Key_End || e->key() == Qt::Key_S;
    return false;
}

bool CFlatListCtrl::OnOrderKey(QKeyEvent* e) {
    if (!IsOrderKey(e))
        return false;
    // A drag under way owns the rows.
    if (m_pDragImage)
        return true;
    if (e->key() == Qt::Key_S) {
        if (columnCount() > 0)
            OnHeaderItemClick(SortKeyColumn(), 0);
        return true;
    }
    // IsOrderKey left only the four moves.
    const int key = e->key();
    MoveSelectedRows(key == Qt::Key_Up     ? kMoveUp
                     : key == Qt::Key_Down ? kMoveDown
                     : key == Qt::Key_Home ? kMoveToTop
                                           : kMoveToBottom);
    return true;
}

bool CFlatListCtrl::MoveSelectedRows(RowStep step) {
    std::vector<int> aSelected;
    for (int r = GetNextSelectedItem(-1); r >= 0; r = GetNextSelectedItem(r))
        aSelected.push_back(r);
    const int nRows = rowCount();
    if (aSelected.empty())
        return false;
    if ((step == kMoveUp || step == kMoveToTop) && aSelected.front() == 0 &&
        (step == kMoveUp || int(aSelected.size()) == aSelected.back() + 1))
        return false;
    if ((step == kMoveDown || step == kMoveToBottom) && aSelected.back() == nRows - 1 &&
        (step == kMoveDown || aSelected.front() == nRows - int(aSelected.size())))
        return false;

    // Each step is a drag of some rows to just after another, as the mouse would make it.
    const int nRowBefore = currentRow();
    m_bReordering = true;
    switch (step) {
    case kMoveUp:
        // The row above each run goes to just below it.
        for (const auto& [first, last] : Blocks(aSelected)) {
            MoveRowsAfter({first - 1}, last);
        }
        break;
    case kMoveDown: {
        const auto blocks = Blocks(aSelected);
        for (auto it = blocks.rbegin(); it != blocks.rend(); ++it) {
            std::vector<int> aRun;
            for (int r = it->first; r <= it->second; ++r)
                aRun.push_back(r);
            MoveRowsAfter(std::move(aRun), it->second + 1);
        }
        break;
    }
    case kMoveToTop: {
        // The rows that are not selected above the last selected one go to just below it.
        std::vector<int> aOthers;
        for (int r = 0; r < aSelected.back(); ++r)
            if (!IsRowSelected(r))
                aOthers.push_back(r);
        MoveRowsAfter(std::move(aOthers), aSelected.back());
        break;
    }
    case kMoveToBottom:
        MoveRowsAfter(aSelected, nRows - 1);
        break;
    }

    m_bReordering = false;
    AnnounceOrderChange(nRowBefore);
    if (currentIndex().isValid())
        scrollTo(currentIndex());
    return true;
}

QModelIndex CFlatListCtrl::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    // Home and End go to the first and last file, not to the first and last column.
    if ((action == MoveHome || action == MoveEnd) && !(modifiers & Qt::ControlModifier)) {
        if (rowCount() == 0)
            return {};
        const int nColumn = currentIndex().isValid() ? currentIndex().column() : 0;
        return model()->index(action == MoveHome ? 0 : rowCount() - 1, nColumn);
    }
    return QTableWidget::moveCursor(action, modifiers);
}
