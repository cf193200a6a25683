#pragma once

#include "db/cardfields.h"

#include <QString>

// The statements on single cards, shared by the card editor, the main window and the import.

// Finds a live card with the same category, name and sex as card.
QString duplicateCheckStatement(const CardValues& card);

// What is said when a live card with the same category, name and sex exists:
// "客户 张三 男 已经存在！".
QString duplicateCardMessage(const CardValues& card);

// Inserts card as a live card entered on date. Throws EngineError when card names a column
// that is no card field.
QString cardInsertStatement(const QString& date, const CardValues& card);

// Writes every field of card into the card with key id. Throws EngineError on a bad key or
// a column that is no card field.
QString cardUpdateStatement(const QString& id, const CardValues& card);

// The whole row of the card with key id. Throws EngineError on a bad key.
QString cardStatement(const QString& id);

// The key of the card with key id while it is live. Throws EngineError on a bad key.
QString liveCardStatement(const QString& id);

// Marks the card with key id deleted; it stays in the file. Throws EngineError on a bad key.
QString softDeleteStatement(const QString& id);

// Sets the deleted card with key id live again. Throws EngineError on a bad key.
QString restoreCardStatement(const QString& id);
