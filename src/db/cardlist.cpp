#include "db/cardlist.h"

#include "db/cardfields.h"
#include "db/dialect.h"

QString filterClause(const Dialect& d, const FilterInput& in) {
    QString clause;
    if (in.byDate) {
        clause += QStringLiteral(" AND (theDate Between ") + d.literal(in.dateFrom) +
                  QStringLiteral(" AND ") + d.literal(in.dateTo) + u')';
    }
    if (in.byType) {
        clause += QStringLiteral(" AND (theType = ") + d.literal(in.type) + u')';
    }
    if (in.byName) {
        clause +=
            QStringLiteral(" AND (") + d.containsMatch(QStringLiteral("BName"), in.name) + u')';
    }
    if (in.bySex) {
        clause += QStringLiteral(" AND (BSex = ") + d.literal(in.sex) + u')';
    }
    if (in.byProvince) {
        clause += QStringLiteral(" AND (DArea = ") + d.literal(in.province) + u')';
    }
    return clause;
}

namespace {
// The key, the entry date and every field under its caption.
QString cardListColumns(const Dialect& d) {
    QString columns = QStringLiteral("ID,") + EntryDateColumn + QStringLiteral(" as ") +
                      d.alias(EntryDateCaption);
    for (const CardField& field : cardFields()) {
        columns += u',' + field.column + QStringLiteral(" as ") + d.alias(field.caption);
    }
    return columns;
}
} // namespace

QString cardListStatement(const Dialect& d, const QString& filterClause) {
    return QStringLiteral("select ") + cardListColumns(d) +
           QStringLiteral(" from D_B Where (theDel='否') ") + filterClause +
           QStringLiteral(" Order by ID Desc");
}

QString cardPageStatement(const Dialect& d, const QString& filterClause, qint64 belowKey, int rows,
                          qint64 aboveKey) {
    QString page = QStringLiteral("select ") + cardListColumns(d) +
                   QStringLiteral(" from D_B Where (theDel='否') ") + filterClause;
    if (belowKey > 0) {
        page += QStringLiteral(" AND (ID < ") + QString::number(belowKey) + u')';
    }
    if (aboveKey > 0) {
        page += QStringLiteral(" AND (ID > ") + QString::number(aboveKey) + u')';
    }
    return page + QStringLiteral(" Order by ID Desc Limit ") + QString::number(rows);
}

QString listedCardsStatement(const Dialect& d, const QString& filterClause,
                             const std::vector<qint64>& keys) {
    QString list;
    for (const qint64 key : keys) {
        list += (list.isEmpty() ? QString() : QStringLiteral(",")) + QString::number(key);
    }
    if (list.isEmpty()) {
        list = QStringLiteral("0"); // no card has key 0
    }
    return QStringLiteral("select ") + cardListColumns(d) +
           QStringLiteral(" from D_B Where (theDel='否') ") + filterClause +
           QStringLiteral(" AND (ID in (") + list + QStringLiteral(")) Order by ID Desc");
}

QString newestKeyStatement() {
    return QStringLiteral("select max(ID) from D_B");
}

QString cardCountStatement(const QString& filterClause) {
    return QStringLiteral("select count(*) from D_B Where (theDel='否') ") + filterClause;
}

QString deletedCardListStatement(const Dialect& d) {
    return QStringLiteral("select ") + cardListColumns(d) +
           QStringLiteral(" from D_B Where theDel='是' Order by ID Desc");
}

QString visitCountStatement(const QString& filterClause) {
    return QStringLiteral(
               "Select count(*) from DList Where did in (select id from D_B Where (theDel='否') ") +
           filterClause + QStringLiteral(" )");
}
