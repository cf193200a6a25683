#pragma once

#include <QString>
#include <vector>

class Dialect;

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

    // True when no condition is ticked: every live card.
    bool isEmpty() const { return !byDate && !byType && !byName && !bySex && !byProvince; }
};

// The conditions appended to the card list, in their fixed order, each starting " AND (".
QString filterClause(const Dialect& dialect, const FilterInput& input);
// The card list: every live card under the filter clause, newest first.
QString cardListStatement(const Dialect& dialect, const QString& filterClause);
// The deleted cards, with the columns of the card list, newest first.
QString deletedCardListStatement(const Dialect& dialect);
// A page of the card list: at most rows of its cards with keys below belowKey (from the
// newest when belowKey is 0) and above aboveKey, newest first.
QString cardPageStatement(const Dialect& dialect, const QString& filterClause, qint64 belowKey,
                          int rows, qint64 aboveKey = 0);
// The cards with the given keys that the list under filterClause shows, newest first.
QString listedCardsStatement(const Dialect& dialect, const QString& filterClause,
                             const std::vector<qint64>& keys);
// The newest key given to a card, deleted or not: one row, one number (empty when none).
QString newestKeyStatement();
// How many cards the list holds: one row, one number.
QString cardCountStatement(const QString& filterClause);
// How many visits exactly the cards of the list have: one row, one number.
QString visitCountStatement(const QString& filterClause);
