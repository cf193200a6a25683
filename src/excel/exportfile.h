#pragma once

#include <QString>

class Query;
class SheetWriter;
class QWidget;

// Where exports are written: the user's documents folder, unless set otherwise (tests).
void setExportFolder(const QString& folder); // empty: the documents folder
QString exportFolder();

// Saves the sheet as a new workbook in the export folder, named after its title and the
// moment, never over an existing file, and hands it to the desktop's spreadsheet program;
// when none takes it, a message tells where the file is. Returns the file's path.
// Throws EngineError when the file cannot be written.
QString publishWorkbook(QWidget* parent, const SheetWriter& sheet);

// The centre footer of an export: the program, gap, the publisher's address, a blank and
// the page count ("共N页，第P页").
QString pageFooter(const QString& gap);

// Moves the list to its first row, then to the next after each call of visit (the row's
// position, from 1), until past its end; the list's cursor stays on its last row.
// Throws EngineError (a closed list).
template <typename Visit> void walkRows(Query* list, Visit&& visit);

#include "db/query.h"

template <typename Visit> void walkRows(Query* list, Visit&& visit) {
    int position = 1;
    for (list->first(); !list->eof(); list->next()) {
        visit(position++);
    }
}
