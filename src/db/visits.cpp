#include "db/visits.h"

#include "db/sqltext.h"

QString visitListStatement(const QString& cardId) {
    return QStringLiteral("SELECT ID,LDate as 拜访日期,LType as 拜访方式,LMemo as 拜访内容") +
           QStringLiteral(" FROM DList WHERE DID=") + sqlId(cardId) +
           QStringLiteral(" ORDER BY LDate DESC");
}

QString visitInsertStatement(const QString& cardId, const QString& date, const QString& kind,
                             const QString& memo) {
    return QStringLiteral("insert into DList(DID,LDate,LType,LMemo) Values(") + sqlId(cardId) +
           QStringLiteral(",'") + sqlText(date) + QStringLiteral("','") + sqlText(kind) +
           QStringLiteral("','") + sqlText(memo) + QStringLiteral("')");
}

QString visitDeleteStatement(const QString& visitId) {
    return QStringLiteral("Delete * from DList where ID=") + sqlId(visitId);
}
