#include "db/cardfields.h"

#include "db/engineerror.h"

const std::vector<CardField>& cardFields() {
    static const std::vector<CardField> fields = {
        {"theType", "分类", "分        类：", 0, true},
        {"BName", "姓名", "姓        名：", 20, true},
        {"BSex", "性别", "性        别：", 0, true},
        {"BPho", "固定电话", "固定电话：", 50, true},
        {"BMob", "移动电话", "移动电话：", 50, true},
        {"BMail", "电子邮箱", "电子邮箱：", 50, false},
        {"BQQ", "QQ号码", "QQ   号码：", 50, false},
        {"BMSN", "MSN号码", "MSN 号码：", 50, false},
        {"BWW", "阿里旺旺", "阿里旺旺：", 50, false},
        {"BDes", "描述", "描        述：", 200, false},
        {"DArea", "省份", "省        份：", 0, true},
        {"DCity", "城市", "城        市：", 20, true},
        {"DName", "单位名称", "单位名称：", 50, true},
        {"DPart", "所在部门", "所在部门：", 20, false},
        {"DJob", "担任职务", "担任职务：", 20, false},
        {"DAdd", "单位地址", "单位地址：", 50, false},
        {"DPho", "单位电话", "单位电话：", 50, false},
        {"DFax", "单位传真", "传        真：", 50, false},
        {"DPos", "邮政编码", "邮政编码：", 10, false},
        {"DWWW", "单位网站", "单位网站：", 50, false},
        {"FAdd", "家庭地址", "家庭地址：", 50, false},
        {"FPho", "家庭电话", "家庭电话：", 50, false},
        {"FPro", "家属姓名", "家属姓名：", 20, false},
        {"FDes", "补充信息", "补充信息：", 200, false},
    };
    return fields;
}

const CardField& cardField(const QString& column) {
    for (const CardField& field : cardFields()) {
        if (field.column.compare(column, Qt::CaseInsensitive) == 0) {
            return field;
        }
    }
    throw EngineError(QStringLiteral("名片没有字段“%1”").arg(column));
}
