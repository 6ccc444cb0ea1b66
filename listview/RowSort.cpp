#include "listview/RowSort.h"

#include <cstring>

int CompareRowTexts(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    // memcmp compares as unsigned char.
    if (n > 0) {
        const int c = std::memcmp(a.data(), b.data(), n);
        if (c != 0)
            return c;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool SortRows(IRowTable& rows, int nColumn, bool bAscending, int nLow, int nHigh) {
    // A negative column names no column either.
    if (nColumn < 0 || nColumn >= rows.GetColumnCount())
        return false;
    if (nHigh == -1)
        nHigh = rows.GetRowCount() - 1;
    if (nLow < 0 || nHigh >= rows.GetRowCount())
        return false;
    int lo = nLow;
    int hi = nHigh;
    if (nHigh <= nLow)
        return false;

    const std::string pivot = rows.GetRowText((nLow + nHigh) / 2, nColumn);
    // "before" in the direction of the sort.
    auto before = [bAscending](const std::string& a, const std::string& b) {
        const int c = CompareRowTexts(a, b);
        return bAscending ? c < 0 : c > 0;
    };

    while (lo <= hi) {
        while (lo < nHigh && before(rows.GetRowText(lo, nColumn), pivot))
            ++lo;
        while (hi > nLow && before(pivot, rows.GetRowText(hi, nColumn)))
            --hi;
        if (lo <= hi) {
            if (CompareRowTexts(rows.GetRowText(lo, nColumn), rows.GetRowText(hi, nColumn)) != 0)
                rows.ExchangeRows(lo, hi);
            ++lo;
            --hi;
        }
    }

    if (nLow < hi)
        SortRows(rows, nColumn, bAscending, nLow, hi);
    if (lo < nHigh)
        SortRows(rows, nColumn, bAscending, lo, nHigh);
    return true;
}
