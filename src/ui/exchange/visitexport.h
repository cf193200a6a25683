#pragma once

#include "excel/sheetwriter.h"

#include <QString>

class Query;
class WorkProgress;
class QWidget;

// The visit log sheet: the title over a header row and one numbered row per visit of the
// list, in its current order; progress follows the walk and may stop it. Throws EngineError.
SheetWriter visitLogSheet(const QString& title, Query* visits, WorkProgress& progress);

// Writes the visit list (in its current order) into a new formatted workbook titled title,
// and opens it in the desktop's spreadsheet program. Throws EngineError.
void exportVisitLog(QWidget* parent, const QString& title, Query* visits);
