#pragma once

#include <QString>

// The folder of the program file, ending in its separator. The card database lies in its
// Data folder, wherever the program is started from. Tests point it elsewhere.
QString programFolder();
void setProgramFolder(const QString& folder); // empty: the program file's own folder

// The connection string of the card database, built from its fixed pieces.
QString cardConnectionString(const QString& folder);

// The key of the card database (the connection string's "Database Password").
QString databasePassword();
