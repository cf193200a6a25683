#pragma once

#include "excel/sheetcells.h"

#include <QByteArray>

// The sheet reader of Excel 97-2003 workbooks (.xls): the compound file is opened with
// libgsf, and the records (BIFF8) of its Workbook stream are read here.
namespace Xls {

// The sheet named sheetName (in any letter case) of the workbook file; false when there is
// no sheet of that name. Throws UnreadableWorkbook.
bool readSheet(const QString& path, const QString& sheetName, SheetCells& cells);

// The same from the bytes of a Workbook stream.
bool readWorkbookStream(const QByteArray& stream, const QString& sheetName, SheetCells& cells);

} // namespace Xls
