#pragma once

#include <QString>
#include <QStringList>

class Dialect;

// The defaults of a new card: the one row of D_Mr on the card file; on a server each login's
// own row, or the team's row while the login has stored none.

// The stored defaults: theType, theSex, theP.
QString defaultsStatement(const Dialect& dialect);
// Stores the defaults: on the file D_Mr then holds exactly this one row, however many it held
// before (with none or several no new card would start from them); on a server the login's own
// row. Run as one transaction.
QStringList defaultsStoreStatements(const Dialect& dialect, const QString& type, const QString& sex,
                                    const QString& province);
