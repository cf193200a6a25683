#include "db/defaults.h"

#include "db/sqltext.h"

QString defaultsStatement() {
    return QStringLiteral("select theType,theSex,theP from D_Mr");
}

QString defaultsUpdateStatement(const QString& type, const QString& sex, const QString& province) {
    return QStringLiteral("UPdate D_Mr Set theType='") + sqlText(type) +
           QStringLiteral("',theSex='") + sqlText(sex) + QStringLiteral("',theP='") +
           sqlText(province) + QStringLiteral("'");
}
