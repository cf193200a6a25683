#pragma once

#include <QStringList>

class Query;
class QWidget;

// Writes the card table into a new workbook and opens it: the title "名片表" over a header row
// and one numbered row per card of the list, in the list's current order, with one column
// per field; a field is at once the header and the name of the list column read. The list's
// cursor ends on the last card. Throws EngineError.
void exportCardList(QWidget* parent, Query* cards, const QStringList& fields);
