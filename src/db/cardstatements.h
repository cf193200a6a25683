#pragma once

#include <QString>
#include <QStringList>

// The statements that write cards, shared by the card editor and the import.

// The 24 card columns an insert writes after theDate, in the card list's order.
const QStringList& cardColumns();

// Finds a live card with the same category, name and sex.
QString duplicateCheckStatement(const QString& type, const QString& name, const QString& sex);

// Inserts a live card entered on date with the 24 values in cardColumns() order.
QString cardInsertStatement(const QString& date, const QStringList& values);
