#include "db/defaults.h"

#include "db/dialect.h"

QString defaultsStatement() {
    return QStringLiteral("select theType,theSex,theP from D_Mr");
}

QStringList defaultsStoreStatements(const Dialect& d, const QString& type, const QString& sex,
                                    const QString& province) {
    return {d.deleteFrom(QStringLiteral("D_Mr")),
            QStringLiteral("INSERT INTO D_Mr(theType,theSex,theP) VALUES(") + d.literal(type) +
                u',' + d.literal(sex) + u',' + d.literal(province) + u')'};
}
