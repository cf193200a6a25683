#pragma once

#include <QList>

// The widths of the card list's columns by position (the key, the entry date, then each
// field's width from the field table), for every grid that shows the card list's columns:
// 0 hides the key, -1 keeps the grid's default.
const QList<int>& cardListWidths();
