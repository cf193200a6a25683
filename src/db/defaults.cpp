#include "db/defaults.h"

#include "db/dialect.h"

QString defaultsStatement(const Dialect& d) {
    return QStringLiteral("select theType,theSex,theP from D_Mr") + d.defaultsRow();
}

QStringList defaultsStoreStatements(const Dialect& d, const QString& type, const QString& sex,
                                    const QString& province) {
    return d.storeDefaults(type, sex, province);
}
