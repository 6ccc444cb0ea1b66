#include "listview/RowMove.h"

void MoveDraggedRows(IRowList& rows, std::vector<int>& aDragRows, int& nDropIndex) {
    int nInsert = nDropIndex + 1;
    if (nInsert < 0 || nInsert > rows.GetRowCount() - 1)
        nInsert = rows.GetRowCount();
    nDropIndex = nInsert;

    for (std::size_t i = 0; i < aDragRows.size(); ++i) {
        int nSource = aDragRows[i];
        if (nSource < 0 || nSource >= rows.GetRowCount())
            continue;
        rows.InsertRowCopy(nSource, nInsert);
        // The insertion pushed the source row down.
        if (nSource >= nInsert)
            ++nSource;
        rows.DeleteRow(nSource);
        // Rows between the old and the new place shifted by one.
        for (std::size_t j = i; j < aDragRows.size(); ++j) {
            int& m = aDragRows[j];
            if (nSource < m && m < nInsert)
                --m;
            else if (nInsert < m && m < nSource)
                ++m;
        }
        // From below, the deletion already moved the copy up to nInsert - 1, so the next
        // row goes after it by itself; from above it must be pushed on.
        if (nSource > nInsert)
            ++nInsert;
        nDropIndex = nInsert;
    }
}
