#pragma once

#include "excel/sheetcells.h"

#include <QIODevice>
#include <vector>

// The sheet reader of Office Open XML workbooks (.xlsx). Every function throws
// UnreadableWorkbook on a damaged part.
namespace Xlsx {

// Each function reads its part as a stream, a piece at a time.

// The shared strings part: every string item, rich text runs joined, phonetic runs left out.
SharedStrings sharedStrings(QIODevice* part);

// The styles part: for each cell format (a cell's "s" index) how it shows a number.
std::vector<NumberFormat> numberFormats(QIODevice* part);

struct SheetContext {
    SharedStrings strings;
    std::vector<NumberFormat> formats;
    bool from1904 = false;
};

// One worksheet part into cells.
void readWorksheet(QIODevice* part, const SheetContext& context, SheetCells& cells);

// The sheet named sheetName (in any letter case) of the workbook file; false when there is
// no sheet of that name.
bool readSheet(const QString& path, const QString& sheetName, SheetCells& cells);

} // namespace Xlsx
