#include "db/registerscripts.h"

#include "db/sqlscripts.h"

#include <QRegularExpression>

QString serverSchemaScript() {
    return serverTablesScript() + registerRulesScript();
}

QString serverTablesScript() {
    return QString::fromUtf8(ServerSchemaSql);
}

QString registerRulesScript() {
    return QString::fromUtf8(ServerRulesSql);
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
