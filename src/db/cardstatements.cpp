#include "cardstatements.h"

#include "sqltext.h"

const QStringList& cardColumns() {
    static const QStringList columns = {
        QStringLiteral("theType"), QStringLiteral("BName"), QStringLiteral("BSex"),
        QStringLiteral("BPho"),    QStringLiteral("BMob"),  QStringLiteral("BMail"),
        QStringLiteral("BQQ"),     QStringLiteral("BMSN"),  QStringLiteral("BWW"),
        QStringLiteral("BDes"),    QStringLiteral("DArea"), QStringLiteral("DCity"),
        QStringLiteral("DName"),   QStringLiteral("DPart"), QStringLiteral("DJob"),
        QStringLiteral("DAdd"),    QStringLiteral("DPho"),  QStringLiteral("DFax"),
        QStringLiteral("DPos"),    QStringLiteral("DWWW"),  QStringLiteral("FAdd"),
        QStringLiteral("FPho"),    QStringLiteral("FPro"),  QStringLiteral("FDes")};
    return columns;
}

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
