#include "db/sqltext.h"

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
