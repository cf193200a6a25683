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
    // Conflicts with itself and with every other write of the cards, not with reading them.
    return QStringLiteral("LOCK TABLE D_B IN SHARE ROW EXCLUSIVE MODE");
}

QString ServerDialect::lockingRead() const {
    return QStringLiteral(" FOR UPDATE");
}

QString ServerDialect::insertReturningKey(const QString& insert) const {
    return insert + QStringLiteral(" ON CONFLICT DO NOTHING RETURNING ID");
}

QString ServerDialect::sameName(const QString& column, const QString& value) const {
    return QStringLiteral("lower(") + column + QStringLiteral(" COLLATE \"C\")=lower(") + value +
           QStringLiteral("::text COLLATE \"C\")");
}

const ServerDialect& serverDialect() {
    static const ServerDialect dialect;
    return dialect;
}
