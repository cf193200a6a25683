#pragma once

#include "db/resultset.h"

#include <vector>

// The order of the rows of a result sorted by one column, stable: equal values keep their
// order. Integer columns compare as numbers; text compares the way Chinese users expect,
// by pinyin, through the Chinese locale's collation (dates of the fixed form compare
// chronologically).
std::vector<int> sortedOrder(const ResultSet& result, int column, bool descending);

// How two rows of a result compare in the order sortedOrder() gives them by column,
// ascending: negative, zero or positive.
int compareForSort(const ResultSet& result, int column, int rowA, int rowB);
