#pragma once

#include <QString>
#include <QStringList>

class Dialect;

// The defaults of a new card, kept in the one row of D_Mr.

// The stored defaults: theType, theSex, theP.
QString defaultsStatement();
// Stores the defaults: D_Mr then holds exactly this one row, however many it held before
// (with none or several no new card would start from them). Run as one transaction.
QStringList defaultsStoreStatements(const Dialect& dialect, const QString& type, const QString& sex,
                                    const QString& province);
