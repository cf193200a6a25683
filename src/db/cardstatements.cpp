#include "cardstatements.h"

#include "sqltext.h"

QString duplicateCheckStatement(const QString& type, const QString& name, const QString& sex) {
    return QStringLiteral("select ID from D_B Where theType='") + sqlText(type) +
           QStringLiteral("' and BName='") + sqlText(name) + QStringLiteral("' and BSex='") +
           sqlText(sex) + QStringLiteral("' and theDel='否'");
}

QString cardInsertStatement(const QString& date, const QStringList& values) {
    QString statement = QStringLiteral("Insert into D_B(theDate,theType,BName,BSex,BPho,") +
                        QStringLiteral("BMob,BMail,BQQ,BMSN,BWW,") +
                        QStringLiteral("BDes,DArea,DCity,DName,DPart,") +
                        QStringLiteral("DJob,DAdd,DPho,DFax,DPos,") +
                        QStringLiteral("DWWW,FAdd,FPho,FPro,FDes,") +
                        QStringLiteral("theDel) values('") + sqlText(date);
    for (const QString& value : values) {
        statement += QStringLiteral("','") + sqlText(value);
    }
    return statement + QStringLiteral("','否')");
}
