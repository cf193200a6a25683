#pragma once

class QAbstractItemView;

// For the start-up benchmark: when ORVANE_REPORT_FIRST_ROWS is set, the first paint of the
// grid with rows in it writes "first_rows_painted cpu_ms=<the program's CPU time>" to
// standard output. Nothing otherwise.
void reportFirstRowsWhenAsked(QAbstractItemView* grid);
