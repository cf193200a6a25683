#include "db/cards.h"

#include "db/dialect.h"

#include <QStringList>

namespace {
// Refuses values for columns that are no card field: a misspelt column would otherwise be
// dropped without a word.
void requireCardColumns(const CardValues& card) {
    for (auto it = card.cbegin(); it != card.cend(); ++it) {
        cardField(it.key());
    }
}

QString key(qint64 id) {
    return QString::number(id);
}
} // namespace

QString duplicateCheckStatement(const Dialect& d, const CardValues& card, qint64 exceptId) {
    QString statement = QStringLiteral("select ID from D_B Where theType=") +
                        d.literal(card.value("theType")) + QStringLiteral(" and BName=") +
                        d.literal(card.value("BName")) + QStringLiteral(" and BSex=") +
                        d.literal(card.value("BSex")) + QStringLiteral(" and theDel='否'");
    if (exceptId != 0) {
        statement += QStringLiteral(" and ID<>") + key(exceptId);
    }
    return statement;
}

QString cardInsertStatement(const Dialect& d, const QString& date, const CardValues& card) {
    requireCardColumns(card);
    QStringList columns{EntryDateColumn};
    QStringList values{d.literal(date)};
    for (const CardField& field : cardFields()) {
        columns << field.column;
        values << d.literal(card.value(field.column));
    }
    columns << QStringLiteral("theDel");
    values << QStringLiteral("'否'");
    return QStringLiteral("Insert into D_B(") + columns.join(u',') + QStringLiteral(") values(") +
           values.join(u',') + u')';
}

QString cardUpdateStatement(const Dialect& d, qint64 id, const CardValues& card) {
    requireCardColumns(card);
    QStringList assignments;
    for (const CardField& field : cardFields()) {
        assignments << field.column + u'=' + d.literal(card.value(field.column));
    }
    return QStringLiteral("Update D_B set ") + assignments.join(u',') +
           QStringLiteral(" Where id=") + key(id);
}

QString cardStatement(qint64 id) {
    return QStringLiteral("Select * from D_B Where ID=") + key(id);
}

QString lockedCardStatement(const Dialect& d, qint64 id) {
    return cardStatement(id) + d.lockingRead();
}

QString softDeleteStatement(qint64 id) {
    return QStringLiteral("Update D_B Set theDel='是' where ID=") + key(id);
}

QString restoreCardStatement(qint64 id) {
    return QStringLiteral("Update D_B Set theDel='否' where ID=") + key(id) +
           QStringLiteral(" and theDel='是'");
}

QString deletedCardStatement(qint64 id) {
    return QStringLiteral("select ID from D_B where ID=") + key(id) +
           QStringLiteral(" and theDel='是'");
}

QStringList purgeCardStatements(const Dialect& d, qint64 id) {
    return {d.deleteFrom(QStringLiteral("DList")) + QStringLiteral(" where DID=") + key(id),
            d.deleteFrom(QStringLiteral("D_B")) + QStringLiteral(" where ID=") + key(id) +
                QStringLiteral(" and theDel='是'")};
}

QString deletedKeysStatement() {
    return QStringLiteral("select ID from D_B where theDel='是'");
}

QStringList purgeDeletedStatements(const Dialect& d) {
    return {d.deleteFrom(QStringLiteral("DList")) + QStringLiteral(" where DID in (") +
                deletedKeysStatement() + u')',
            d.deleteFrom(QStringLiteral("D_B")) + QStringLiteral(" where theDel='是'")};
}
