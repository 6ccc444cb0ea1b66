// Moving one column in a header's display order, without any user-interface code.
#pragma once

#include <vector>

// order holds the item index shown at each display position. Moves the column at display
// position nFrom into gap nTo (0 = before the first column, order.size() = after the last):
// it lands at nTo - 1 when it moves right and at nTo when it moves left; every other column
// keeps its relative order. False, with order unchanged, when nFrom is not a position or nTo
// not a gap.
bool MoveColumnToGap(std::vector<int>& order, int nFrom, int nTo);
