#pragma once

#include "db/cardfields.h"

#include <QString>

class Dialect;

// The statements on single cards, run by the card store.

// Finds a live card other than the one with key exceptId (0: any) with the same category,
// name and sex as card.
QString duplicateCheckStatement(const Dialect& dialect, const CardValues& card,
                                qint64 exceptId = 0);

// The same check prepared: its parameters are the category, the name and the sex.
QString preparedDuplicateCheckStatement(const Dialect& dialect);

// Inserts card as a live card entered on date. Throws EngineError when card names a column
// that is no card field.
QString cardInsertStatement(const Dialect& dialect, const QString& date, const CardValues& card);

// The same insert prepared, in the dialect's insertReturningKey form: its parameters are the
// entry date, then every field in the order of cardFields().
QString preparedCardInsertStatement(const Dialect& dialect);

// Writes every field of card into the card with key id. Throws EngineError on a column that
// is no card field.
QString cardUpdateStatement(const Dialect& dialect, qint64 id, const CardValues& card);

// The whole row of the card with key id.
QString cardStatement(qint64 id);

// The whole row of the card with key id, read under the write lock and kept as it is until
// the write ends.
QString lockedCardStatement(const Dialect& dialect, qint64 id);

// Marks the card with key id deleted; it stays in the register.
QString softDeleteStatement(qint64 id);

// Sets the deleted card with key id live again.
QString restoreCardStatement(qint64 id);

// The key of the card with key id while it is deleted.
QString deletedCardStatement(qint64 id);

// Removes the deleted card with key id and its visits for good (a live card stays).
QStringList purgeCardStatements(const Dialect& dialect, qint64 id);

// The keys of every deleted card.
QString deletedKeysStatement();

// Removes every deleted card and its visits for good.
QStringList purgeDeletedStatements(const Dialect& dialect);
