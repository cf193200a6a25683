#pragma once

#include <QString>

// The card list of the main window: its filter, its statement and the visit count.

// What the filter bar holds when "查询" is pressed.
struct FilterInput {
    bool byDate = false;
    QString dateFrom;
    QString dateTo;
    bool byType = false;
    QString type;
    bool byName = false;
    QString name;
    bool bySex = false;
    QString sex;
    bool byProvince = false;
    QString province;
};

// The conditions appended to the card list, in their fixed order, each starting " AND (".
QString filterClause(const FilterInput& input);
// The card list: every live card under the filter clause, newest first.
QString cardListStatement(const QString& filterClause);
// The deleted cards, with the columns of the card list, newest first.
QString deletedCardListStatement();
// The visits of exactly the cards of the list.
QString visitCountStatement(const QString& filterClause);
