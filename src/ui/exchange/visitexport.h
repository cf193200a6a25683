#pragma once

#include <QString>

class Query;
class QWidget;

// Writes the visit list (in its current order) into a new formatted workbook titled title:
// the title over a header row and one numbered row per visit. Opens it in the desktop's
// spreadsheet program. Throws EngineError.
void exportVisitLog(QWidget* parent, const QString& title, Query* visits);
