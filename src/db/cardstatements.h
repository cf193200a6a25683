#pragma once

#include <QString>
#include <QStringList>

// The statements that write cards, shared by the card editor and the import.

// Finds a live card with the same category, name and sex.
QString duplicateCheckStatement(const QString& type, const QString& name, const QString& sex);

// Inserts a live card entered on date with its 24 values in the card list's order
// (theType, BName, BSex, BPho, ... FDes).
QString cardInsertStatement(const QString& date, const QStringList& values);
