#include "db/sqltext.h"

#include "db/engineerror.h"

QString sqlText(const QString& value) {
    QString body;
    body.reserve(value.size() + 8);
    for (const QChar c : value) {
        if (c == u'\'') {
            body += QStringLiteral("''");
        } else if (c == QChar(0)) {
            body += QStringLiteral("'||char(0)||'");
        } else {
            body += c;
        }
    }
    return body;
}

QString sqlId(const QString& id) {
    bool ok = false;
    const qlonglong value = id.toLongLong(&ok);
    if (!ok || id.trimmed() != id || id.startsWith(u'+')) {
        throw EngineError(QStringLiteral("无效的记录编号：“%1”").arg(id));
    }
    return QString::number(value);
}
