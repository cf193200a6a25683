#include "db/cards.h"

#include "db/sqltext.h"

#include <QStringList>

namespace {
QString quoted(const QString& value) {
    return u'\'' + sqlText(value) + u'\'';
}

// Refuses values for columns that are no card field: a misspelt column would otherwise be
// dropped without a word.
void requireCardColumns(const CardValues& card) {
    for (auto it = card.cbegin(); it != card.cend(); ++it) {
        cardField(it.key());
    }
}
} // namespace

QString duplicateCheckStatement(const CardValues& card) {
    return QStringLiteral("select ID from D_B Where theType=") + quoted(card.value("theType")) +
           QStringLiteral(" and BName=") + quoted(card.value("BName")) +
           QStringLiteral(" and BSex=") + quoted(card.value("BSex")) +
           QStringLiteral(" and theDel='否'");
}

QString duplicateCardMessage(const CardValues& card) {
    return card.value("theType") + u' ' + card.value("BName") + u' ' + card.value("BSex") +
           QStringLiteral(" 已经存在！");
}

QString cardInsertStatement(const QString& date, const CardValues& card) {
    requireCardColumns(card);
    QStringList columns{EntryDateColumn};
    QStringList values{quoted(date)};
    for (const CardField& field : cardFields()) {
        columns << field.column;
        values << quoted(card.value(field.column));
    }
    columns << QStringLiteral("theDel");
    values << QStringLiteral("'否'");
    return QStringLiteral("Insert into D_B(") + columns.join(u',') + QStringLiteral(") values(") +
           values.join(u',') + u')';
}

QString cardUpdateStatement(const QString& id, const CardValues& card) {
    requireCardColumns(card);
    QStringList assignments;
    for (const CardField& field : cardFields()) {
        assignments << field.column + u'=' + quoted(card.value(field.column));
    }
    return QStringLiteral("Update D_B set ") + assignments.join(u',') +
           QStringLiteral(" Where id=") + sqlId(id);
}

QString cardStatement(const QString& id) {
    return QStringLiteral("Select * from D_B Where ID=") + sqlId(id);
}

QString liveCardStatement(const QString& id) {
    return QStringLiteral("select ID from D_B Where ID=") + sqlId(id) +
           QStringLiteral(" and theDel='否'");
}

QString softDeleteStatement(const QString& id) {
    return QStringLiteral("Update D_B Set theDel='是' where ID=") + sqlId(id);
}

QString restoreCardStatement(const QString& id) {
    return QStringLiteral("Update D_B Set theDel='否' where ID=") + sqlId(id) +
           QStringLiteral(" and theDel='是'");
}
