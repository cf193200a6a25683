#include "db/registerscripts.h"

#include "db/sqlscripts.h"

#include <QRegularExpression>

QString serverSchemaScript() {
    return QString::fromUtf8(ServerSchemaSql);
}

QString registerRowsScript() {
    static const QRegularExpression insert(QStringLiteral("^INSERT INTO[^;]*;"),
                                           QRegularExpression::MultilineOption);
    QString rows;
    auto it = insert.globalMatch(QString::fromUtf8(FileSchemaSql));
    while (it.hasNext()) {
        rows += it.next().captured() + u'\n';
    }
    return rows;
}
