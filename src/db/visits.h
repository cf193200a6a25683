#pragma once

#include <QString>

// The statements of the visit log. Each throws EngineError on a bad key.

// The visits of the card with key cardId, newest first: ID, 拜访日期, 拜访方式, 拜访内容.
QString visitListStatement(const QString& cardId);
// Records a visit to the card with key cardId.
QString visitInsertStatement(const QString& cardId, const QString& date, const QString& kind,
                             const QString& memo);
// Removes the visit with key visitId for good.
QString visitDeleteStatement(const QString& visitId);
