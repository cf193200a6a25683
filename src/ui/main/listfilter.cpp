#include "listfilter.h"

#include "db/sqltext.h"

QString filterClause(const FilterInput& in) {
    QString clause;
    if (in.byDate) {
        clause += QStringLiteral(" AND (theDate Between '") + sqlText(in.dateFrom) +
                  QStringLiteral("' AND '") + sqlText(in.dateTo) + QStringLiteral("')");
    }
    if (in.byType) {
        clause += QStringLiteral(" AND (theType = '") + sqlText(in.type) + QStringLiteral("')");
    }
    if (in.byName) {
        clause += QStringLiteral(" AND (BName Like '%") + sqlText(in.name) + QStringLiteral("%')");
    }
    if (in.bySex) {
        clause += QStringLiteral(" AND (BSex = '") + sqlText(in.sex) + QStringLiteral("')");
    }
    if (in.byProvince) {
        clause += QStringLiteral(" AND (DArea = '") + sqlText(in.province) + QStringLiteral("')");
    }
    return clause;
}

QString cardListStatement(const QString& filterClause) {
    return QStringLiteral("select ID,theDate as 录入日期,theType as 分类,") +
           QStringLiteral("BName as 姓名,BSex AS 性别,BPho AS 固定电话,") +
           QStringLiteral("BMob as 移动电话,BMail AS 电子邮箱,BQQ AS QQ号码,") +
           QStringLiteral("BMSN as MSN号码,BWW AS 阿里旺旺,Bdes as 描述,") +
           QStringLiteral("DArea as 省份,DCity as 城市,DName as 单位名称,") +
           QStringLiteral("DPart AS 所在部门,DJob AS 担任职务,DAdd AS 单位地址,") +
           QStringLiteral("DPho AS 单位电话,DFax AS 单位传真,DPos AS 邮政编码,") +
           QStringLiteral("DWWW AS 单位网站,FAdd AS 家庭地址,FPho AS 家庭电话,") +
           QStringLiteral("FPro AS 家属姓名,FDes AS 补充信息") +
           QStringLiteral(" from D_B Where (theDel='否') ") + filterClause +
           QStringLiteral(" Order by ID Desc");
}

QString visitCountStatement(const QString& filterClause) {
    return QStringLiteral(
               "Select ID from DList Where did in (select id from D_B Where (theDel='否') ") +
           filterClause + QStringLiteral(" )");
}
