#pragma once

#include "excel/sheetwriter.h"

#include <QStringList>

class Query;
class WorkProgress;
class QWidget;

// The card table: the title "名片表" over a header row and one numbered row per card of the
// list, in the list's current order, with one column per field; a field is at once the
// header and the name of the list column read. Walks the list with its own cursor, which
// stays on the last card; progress follows the walk and may stop it. Throws EngineError.
SheetWriter cardListSheet(Query* cards, const QStringList& fields, WorkProgress& progress);

// Writes the card table into a new workbook and opens it. Throws EngineError.
void exportCardList(QWidget* parent, Query* cards, const QStringList& fields);
