#pragma once

#include "db/resultset.h"

#include <QString>
#include <memory>

// Reads the sheet named sheetName (in any letter case) of an Excel workbook, .xls or .xlsx,
// told apart by their contents. The sheet's first used row names the columns (below a title
// over the table, as SheetCells::toResult finds it) and every further row is a result row;
// every cell comes as text. Throws EngineError naming the cause: a file that cannot be read,
// a workbook without that sheet, a sheet too large.
std::shared_ptr<ResultSet> readWorkbookSheet(const QString& path, const QString& sheetName);
