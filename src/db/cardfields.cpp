#include "db/cardfields.h"

#include "db/engineerror.h"

const std::vector<CardField>& cardFields() {
    // clang-format off
    static const std::vector<CardField> fields = {
     // column      caption       editor label       bytes exported width  editor place
        {"theType", "分类",     "分        类：", 0,   true,  -1,  {EditorGroup::Basic,  0, 0, 1, "DBLookupComboBox1"}},
        {"BName",   "姓名",     "姓        名：", 20,  true,  100, {EditorGroup::Basic,  1, 0, 1, "EditB1"}},
        {"BSex",    "性别",     "性        别：", 0,   true,  -1,  {EditorGroup::Basic,  1, 1, 1, "DBLookupComboBox2"}},
        {"BPho",    "固定电话", "固定电话：",     50,  true,  100, {EditorGroup::Basic,  1, 2, 1, "EditB2"}},
        {"BMob",    "移动电话", "移动电话：",     50,  true,  100, {EditorGroup::Basic,  1, 3, 1, "EditB3"}},
        {"BMail",   "电子邮箱", "电子邮箱：",     50,  false, 100, {EditorGroup::Basic,  2, 0, 1, "EditB4"}},
        {"BQQ",     "QQ号码",   "QQ   号码：",    50,  false, 100, {EditorGroup::Basic,  2, 1, 1, "EditB5"}},
        {"BMSN",    "MSN号码",  "MSN 号码：",     50,  false, 100, {EditorGroup::Basic,  2, 2, 1, "EditB6"}},
        {"BWW",     "阿里旺旺", "阿里旺旺：",     50,  false, 100, {EditorGroup::Basic,  2, 3, 1, "EditB7"}},
        {"BDes",    "描述",     "描        述：", 200, false, 200, {EditorGroup::Basic,  3, 0, 4, "EditB8"}},
        {"DArea",   "省份",     "省        份：", 0,   true,  -1,  {EditorGroup::Work,   0, 0, 1, "DBLookupComboBox3"}},
        {"DCity",   "城市",     "城        市：", 20,  true,  -1,  {EditorGroup::Work,   0, 1, 1, "EditD1"}},
        {"DName",   "单位名称", "单位名称：",     50,  true,  150, {EditorGroup::Work,   0, 2, 2, "EditD2"}},
        {"DPart",   "所在部门", "所在部门：",     20,  false, 100, {EditorGroup::Work,   1, 0, 1, "EditD3"}},
        {"DJob",    "担任职务", "担任职务：",     20,  false, 100, {EditorGroup::Work,   1, 1, 1, "EditD4"}},
        {"DAdd",    "单位地址", "单位地址：",     50,  false, 150, {EditorGroup::Work,   1, 2, 2, "EditD5"}},
        {"DPho",    "单位电话", "单位电话：",     50,  false, 100, {EditorGroup::Work,   2, 0, 1, "EditD6"}},
        {"DFax",    "单位传真", "传        真：", 50,  false, 100, {EditorGroup::Work,   2, 1, 1, "EditD7"}},
        {"DPos",    "邮政编码", "邮政编码：",     10,  false, -1,  {EditorGroup::Work,   2, 2, 1, "EditD8"}},
        {"DWWW",    "单位网站", "单位网站：",     50,  false, 100, {EditorGroup::Work,   2, 3, 1, "EditD9"}},
        {"FAdd",    "家庭地址", "家庭地址：",     50,  false, 150, {EditorGroup::Family, 0, 0, 2, "EditF1"}},
        {"FPho",    "家庭电话", "家庭电话：",     50,  false, 100, {EditorGroup::Family, 0, 2, 1, "EditF2"}},
        {"FPro",    "家属姓名", "家属姓名：",     20,  false, -1,  {EditorGroup::Family, 0, 3, 1, "EditF3"}},
        {"FDes",    "补充信息", "补充信息：",     200, false, 200, {EditorGroup::Family, 1, 0, 4, "EditF4"}},
    };
    // clang-format on
    return fields;
}

int cardFieldIndex(const QString& column) {
    const std::vector<CardField>& fields = cardFields();
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].column.compare(column, Qt::CaseInsensitive) == 0) {
            return int(i);
        }
    }
    throw EngineError(QStringLiteral("名片没有字段“%1”").arg(column));
}

const CardField& cardField(const QString& column) {
    return cardFields()[size_t(cardFieldIndex(column))];
}

void requireCardColumns(const CardValues& card) {
    for (auto it = card.cbegin(); it != card.cend(); ++it) {
        cardField(it.key());
    }
}
