#include "db/cards.h"

#include "db/dialect.h"

#include <QStringList>

namespace {
QString key(qint64 id) {
    return QString::number(id);
}

// The duplicate check with the category, name and sex as written in the statement.
QString duplicateCheck(const Dialect& d, const QString& type, const QString& name,
                       const QString& sex) {
    return QStringLiteral("select ID from D_B Where ") +
           d.sameName(QStringLiteral("theType"), type) + QStringLiteral(" and ") +
           d.sameName(QStringLiteral("BName"), name) + QStringLiteral(" and ") +
           d.sameName(QStringLiteral("BSex"), sex) + QStringLiteral(" and theDel='否'");
}

// The insert of a live card with the entry date, then every field in the order of
// cardFields(), as written in the statement.
QString cardInsert(const Dialect& d, const QStringList& values) {
    QStringList columns{EntryDateColumn};
    for (const CardField& field : cardFields()) {
        columns << field.column;
    }
    return QStringLiteral("Insert into D_B(") + columns.join(u',') +
           QStringLiteral(",theDel) values(") + values.join(u',') + QStringLiteral(",'否')") +
           d.liveCardConflict();
}
} // namespace

QString duplicateCheckStatement(const Dialect& d, const CardValues& card, qint64 exceptId) {
    QString statement =
        duplicateCheck(d, d.literal(card.value("theType")), d.literal(card.value("BName")),
                       d.literal(card.value("BSex")));
    if (exceptId != 0) {
        statement += QStringLiteral(" and ID<>") + key(exceptId);
    }
    return statement;
}

QString preparedDuplicateCheckStatement(const Dialect& d) {
    return duplicateCheck(d, d.parameter(1), d.parameter(2), d.parameter(3));
}

QString cardInsertStatement(const Dialect& d, const QString& date, const CardValues& card) {
    requireCardColumns(card);
    QStringList values{d.literal(date)};
    for (const CardField& field : cardFields()) {
        values << d.literal(card.value(field.column));
    }
    return cardInsert(d, values);
}

QString preparedCardInsertStatement(const Dialect& d) {
    QStringList values;
    for (int number = 1; number <= 1 + int(cardFields().size()); ++number) {
        values << d.parameter(number);
    }
    return d.insertReturningKey(cardInsert(d, values));
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
