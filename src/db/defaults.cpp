#include "db/defaults.h"

#include "db/sqltext.h"

QString defaultsStatement() {
    return QStringLiteral("select theType,theSex,theP from D_Mr");
}

QStringList defaultsStoreStatements(const QString& type, const QString& sex,
                                    const QString& province) {
    return {QStringLiteral("DELETE FROM D_Mr"),
            QStringLiteral("INSERT INTO D_Mr(theType,theSex,theP) VALUES('") + sqlText(type) +
                QStringLiteral("','") + sqlText(sex) + QStringLiteral("','") + sqlText(province) +
                QStringLiteral("')")};
}
