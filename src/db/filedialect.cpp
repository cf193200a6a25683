#include "db/filedialect.h"

#include "db/sqltext.h"

QString FileDialect::literal(const QString& value) const {
    return u'\'' + sqlText(value) + u'\'';
}

QString FileDialect::parameter(int number) const {
    return u'?' + QString::number(number);
}

QString FileDialect::alias(const QString& name) const {
    return name;
}

QString FileDialect::sameName(const QString& column, const QString& value) const {
    return column + u'=' + value;
}

QString FileDialect::containsMatch(const QString& column, const QString& value) const {
    return column + QStringLiteral(" Like ") + literal(u'%' + value + u'%');
}

QString FileDialect::deleteFrom(const QString& table) const {
    return QStringLiteral("DELETE FROM ") + table;
}

QString FileDialect::beginWrite() const {
    return QStringLiteral("BEGIN IMMEDIATE");
}

QString FileDialect::holdCardsForBatch() const {
    return QString(); // BEGIN IMMEDIATE holds the file's write lock
}

QString FileDialect::lockingRead() const {
    return QString();
}

QString FileDialect::insertReturningKey(const QString& insert) const {
    return insert;
}

QString FileDialect::liveCardConflict() const {
    return QString();
}

QString FileDialect::removeVisit(qint64 visitId) const {
    return QStringLiteral("DELETE FROM DList where ID=") + QString::number(visitId);
}

QString FileDialect::defaultsRow() const {
    return QString();
}

QStringList FileDialect::storeDefaults(const QString& type, const QString& sex,
                                       const QString& province) const {
    return {QStringLiteral("DELETE FROM D_Mr"),
            QStringLiteral("INSERT INTO D_Mr(theType,theSex,theP) VALUES(") + literal(type) + u',' +
                literal(sex) + u',' + literal(province) + u')'};
}

const Dialect& fileDialect() {
    static const FileDialect dialect;
    return dialect;
}
