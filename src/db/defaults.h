#pragma once

#include <QString>

// The defaults of a new card, kept in the one row of D_Mr.

// The stored defaults: theType, theSex, theP.
QString defaultsStatement();
// Stores the defaults.
QString defaultsUpdateStatement(const QString& type, const QString& sex, const QString& province);
