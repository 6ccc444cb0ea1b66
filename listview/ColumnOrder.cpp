#include "listview/ColumnOrder.h"

#include <cstddef>

bool MoveColumnToGap(std::vector<int>& order, int nFrom, int nTo) {
    const int n = static_cast<int>(order.size());
    // Out of range, the position-by-position copy would read past the array.
    if (nFrom < 0 || nFrom >= n || nTo < 0 || nTo > n)
        return false;
    std::vector<int> moved(order.size());
    int s = 0;
    for (int j = 0; j < n; ++j) {
        if (s == nFrom)
            ++s;
        const bool landsHere = nFrom < nTo ? j == nTo - 1 : j == nTo;
        if (landsHere)
            moved[static_cast<std::size_t>(j)] = order[static_cast<std::size_t>(nFrom)];
        else
            moved[static_cast<std::size_t>(j)] = order[static_cast<std::size_t>(s++)];
    }
    order.swap(moved);
    return true;
}
