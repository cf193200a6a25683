#include "db/serverdialect.h"

#include "db/engineerror.h"

QString nulRefusedMessage() {
    return QStringLiteral("服务器上的名片库不能保存空字符（编码为 0 的字符），"
                          "请删去这个字符后再试。本次没有保存任何内容。");
}

QString ServerDialect::literal(const QString& value) const {
    if (value.contains(QChar(0))) {
        throw EngineError(nulRefusedMessage());
    }
    QString text;
    text.reserve(value.size() + 2);
    text += u'\'';
    for (const QChar c : value) {
        if (c == u'\'') {
            text += u'\'';
        }
        text += c;
    }
    text += u'\'';
    return text;
}

QString ServerDialect::parameter(int number) const {
    return u'$' + QString::number(number);
}

QString ServerDialect::alias(const QString& name) const {
    QString quoted = name;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString ServerDialect::containsMatch(const QString& column, const QString& value) const {
    return column + QStringLiteral(" COLLATE \"C\" ILIKE ") + literal(u'%' + value + u'%') +
           QStringLiteral(" ESCAPE ''");
}

QString ServerDialect::deleteFrom(const QString& table) const {
    return QStringLiteral("DELETE FROM ") + table;
}

QString ServerDialect::beginWrite() const {
    return QStringLiteral("BEGIN");
}

QString ServerDialect::holdCardsForBatch() const {
    return QStringLiteral("select pg_advisory_xact_lock(7140152)");
}

QString ServerDialect::lockingRead() const {
    return QStringLiteral(" FOR UPDATE");
}

QString ServerDialect::insertReturningKey(const QString& insert) const {
    return insert + QStringLiteral(" RETURNING ID");
}

QString ServerDialect::liveCardConflict() const {
    // The index's own expressions and condition (serverschema.sql, D_B_Live).
    return QStringLiteral(" ON CONFLICT (lower(theType COLLATE \"C\"),lower(BName COLLATE \"C\"),"
                          "lower(BSex COLLATE \"C\")) WHERE theDel='否' DO NOTHING");
}

QString ServerDialect::removeVisit(qint64 visitId) const {
    return QStringLiteral("select orvane_remove_visit(%1)").arg(visitId);
}

QString ServerDialect::defaultsRow() const {
    return QStringLiteral(" where Owner is not distinct from (select max(Owner) from D_Mr "
                          "where Owner=session_user::text)");
}

QStringList ServerDialect::storeDefaults(const QString& type, const QString& sex,
                                         const QString& province) const {
    return {QStringLiteral("select orvane_store_defaults(") + literal(type) + u',' + literal(sex) +
            u',' + literal(province) + u')'};
}

QString ServerDialect::sameName(const QString& column, const QString& value) const {
    return QStringLiteral("lower(") + column + QStringLiteral(" COLLATE \"C\")=lower(") + value +
           QStringLiteral("::text COLLATE \"C\")");
}

const ServerDialect& serverDialect() {
    static const ServerDialect dialect;
    return dialect;
}
