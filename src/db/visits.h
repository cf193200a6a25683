#pragma once

#include <QString>

class Dialect;

// The statements of the visit log.

// The visits of the card with key cardId, newest first: ID, 拜访日期, 拜访方式, 拜访内容.
QString visitListStatement(const Dialect& dialect, qint64 cardId);
// Records a visit to the card with key cardId.
QString visitInsertStatement(const Dialect& dialect, qint64 cardId, const QString& date,
                             const QString& kind, const QString& memo);
// Removes the visit with key visitId for good.
QString visitDeleteStatement(const Dialect& dialect, qint64 visitId);
