#pragma once

#include <QString>

// The folder of the program file, ending in its separator. The card database lies in its
// Data folder, wherever the program is started from. Tests point it elsewhere.
QString programFolder();
void setProgramFolder(const QString& folder); // empty: the program file's own folder

// The folder whose Data/db.edb holds the cards, ending in its separator: the program folder
// while it can be written to. A program folder the user cannot write to (a system install) keeps
// only the delivered database; the user's cards then live under the XDG data home, in
// orvane-cards/Data/db.edb, copied from the delivered one on first use and kept from then on.
QString cardFolder(const QString& programFolder);

// The folder of the user's settings, ending in its separator: orvane-cards/ under
// $XDG_CONFIG_HOME (~/.config when the variable is unset).
QString userConfigFolder();

// The connection string of the card database, built from its fixed pieces.
QString cardConnectionString(const QString& folder);

// The key of the card database (the connection string's "Database Password"): the user's own
// password once start-up has been given it, the program's built-in key otherwise.
QString databasePassword();
QString builtInDatabasePassword();
// The user's own password for this run; empty: the built-in key.
void setDatabasePassword(const QString& password);
bool hasOwnPassword();
