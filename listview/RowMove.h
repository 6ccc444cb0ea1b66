// Moving a set of rows to a new place in a table, without any user-interface code.
#pragma once

#include <vector>

// The rows as the move sees them: copied whole to a new place, then deleted at the old one.
class IRowList {
public:
    virtual int GetRowCount() const = 0;
    // Inserts at nAt a copy of everything row nSource holds (nSource counted before the
    // insertion): every column's text and all row state, selection and focus included.
    virtual void InsertRowCopy(int nSource, int nAt) = 0;
    virtual void DeleteRow(int nRow) = 0;

protected:
    ~IRowList() = default;
};

// Moves the rows aDragRows (ascending) to just after row nDropIndex; a target of -1 sends
// them to the top, one past the last row (or below -1) to the end. The rows keep their order among
// themselves. A target that is itself dragged leaves them right after the undragged rows above it.
// Entries out of range are skipped. The entries still to move are kept pointing at their
// rows, and nDropIndex ends as the index just after the last moved row.
void MoveDraggedRows(IRowList& rows, std::vector<int>& aDragRows, int& nDropIndex);
