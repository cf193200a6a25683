#include "db/cardlist.h"

#include "db/cardfields.h"
#include "db/sqltext.h"

QString filterClause(const FilterInput& in) {
    QString clause;
    if (in.byDate) {
        clause += QStringLiteral(" AND (theDate Between '") + sqlText(in.dateFrom) +
                  QStringLiteral("' AND '") + sqlText(in.dateTo) + QStringLiteral("')");
    }
    if (in.byType) {
        clause += QStringLiteral(" AND (theType = '") + sqlText(in.type) + QStringLiteral("')");
    }
    if (in.byName) {
        clause += QStringLiteral(" AND (BName Like '%") + sqlText(in.name) + QStringLiteral("%')");
    }
    if (in.bySex) {
        clause += QStringLiteral(" AND (BSex = '") + sqlText(in.sex) + QStringLiteral("')");
    }
    if (in.byProvince) {
        clause += QStringLiteral(" AND (DArea = '") + sqlText(in.province) + QStringLiteral("')");
    }
    return clause;
}

namespace {
// The key, the entry date and every field under its caption.
QString cardListColumns() {
    QString columns =
        QStringLiteral("ID,") + EntryDateColumn + QStringLiteral(" as ") + EntryDateCaption;
    for (const CardField& field : cardFields()) {
        columns += u',' + field.column + QStringLiteral(" as ") + field.caption;
    }
    return columns;
}
} // namespace

QString cardListStatement(const QString& filterClause) {
    return QStringLiteral("select ") + cardListColumns() +
           QStringLiteral(" from D_B Where (theDel='否') ") + filterClause +
           QStringLiteral(" Order by ID Desc");
}

QString deletedCardListStatement() {
    return QStringLiteral("select ") + cardListColumns() +
           QStringLiteral(" from D_B Where theDel='是' Order by ID Desc");
}

QString visitCountStatement(const QString& filterClause) {
    return QStringLiteral(
               "Select ID from DList Where did in (select id from D_B Where (theDel='否') ") +
           filterClause + QStringLiteral(" )");
}
