#pragma once

#include "excel/sheetcells.h"

// The sheet reader of Excel 97-2003 workbooks (.xls), through FreeXL.
namespace Xls {

// The sheet named sheetName (in any letter case) of the workbook file; false when there is
// no sheet of that name. Throws UnreadableWorkbook.
bool readSheet(const QString& path, const QString& sheetName, SheetCells& cells);

} // namespace Xls
