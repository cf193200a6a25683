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

QString visitCountsStatement(const std::vector<qint64>& cardIds) {
    QString list = QStringLiteral("0"); // no card has key 0
    for (const qint64 id : cardIds) {
        list += u',' + QString::number(id);
    }
    return QStringLiteral("SELECT DID, count(*) FROM DList WHERE DID in (") + list +
           QStringLiteral(") GROUP BY DID");
}

QString visitCardStatement(qint64 visitId) {
    return QStringLiteral("SELECT DID FROM DList WHERE ID=") + QString::number(visitId);
}
