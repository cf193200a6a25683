#include "db/visits.h"

#include "db/dialect.h"

QString visitListStatement(const Dialect& d, qint64 cardId) {
    return QStringLiteral("SELECT ID,LDate as ") + d.alias(QStringLiteral("拜访日期")) +
           QStringLiteral(",LType as ") + d.alias(QStringLiteral("拜访方式")) +
           QStringLiteral(",LMemo as ") + d.alias(QStringLiteral("拜访内容")) +
           QStringLiteral(" FROM DList WHERE DID=") + QString::number(cardId) +
           QStringLiteral(" ORDER BY LDate DESC");
}

QString visitInsertStatement(const Dialect& d, qint64 cardId, const QString& date,
                             const QString& kind, const QString& memo) {
    return QStringLiteral("insert into DList(DID,LDate,LType,LMemo) Values(") +
           QString::number(cardId) + u',' + d.literal(date) + u',' + d.literal(kind) + u',' +
           d.literal(memo) + u')';
}

QString visitDeleteStatement(const Dialect& d, qint64 visitId) {
    return d.removeVisit(visitId);
}
