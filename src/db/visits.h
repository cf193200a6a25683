#pragma once

#include <QString>
#include <vector>

class Dialect;

// The statements of the visit log.

// The visits of the card with key cardId, newest first: ID, 拜访日期, 拜访方式, 拜访内容.
QString visitListStatement(const Dialect& dialect, qint64 cardId);
// Records a visit to the card with key cardId.
QString visitInsertStatement(const Dialect& dialect, qint64 cardId, const QString& date,
                             const QString& kind, const QString& memo);
// Removes the visit with key visitId for good.
QString visitDeleteStatement(const Dialect& dialect, qint64 visitId);
// How many visits each of the cards with the given keys has: the card's key and the count,
// a row for each card with visits.
QString visitCountsStatement(const std::vector<qint64>& cardIds);
// The card a visit belongs to: one row, its key, or no row when the visit is gone.
QString visitCardStatement(qint64 visitId);
