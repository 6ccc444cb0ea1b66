// Ordering the rows of a table in place, without any user-interface code.
#pragma once

#include <string>
#include <string_view>

// The rows as the sort sees them: texts read when needed, rows exchanged whole.
class IRowTable {
public:
    virtual int GetRowCount() const = 0;
    virtual int GetColumnCount() const = 0;
    // The full text of a cell as bytes: UTF-8, or a path's own bytes.
    virtual std::string GetRowText(int nRow, int nColumn) const = 0;
    // Exchanges everything the two rows hold: every column's text and all row state.
    virtual void ExchangeRows(int nRow1, int nRow2) = 0;

protected:
    ~IRowTable() = default;
};

// Byte by byte as unsigned values, so case matters ("Z" before "a") and a prefix comes
// first. <0, 0 or >0 like strcmp.
int CompareRowTexts(std::string_view a, std::string_view b);

// Partition sort of rows nLow..nHigh (nHigh -1 = the last row) by the text of nColumn.
// Rows with equal texts are never exchanged; the order is not stable. False when nothing
// was sorted: no such column, or fewer than two rows in the range.
bool SortRows(IRowTable& rows, int nColumn, bool bAscending, int nLow, int nHigh);
