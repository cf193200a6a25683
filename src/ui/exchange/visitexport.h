#pragma once

#include "excel/sheetwriter.h"

#include <QString>

class Query;
class QWidget;

// The visit log sheet: the title over a header row and one numbered row per visit of the
// list, in its current order. Throws EngineError.
SheetWriter visitLogSheet(const QString& title, Query* visits);

// Writes the visit list (in its current order) into a new formatted workbook titled title,
// and opens it in the desktop's spreadsheet program. Throws EngineError.
void exportVisitLog(QWidget* parent, const QString& title, Query* visits);
