#include "frme.h"

#include "cardexport.h"
#include "ui/common/messages.h"
#include "ui/common/widgets.h"
#include "ui/main/frmmain.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QPushButton>

namespace {
// The boxes in number order: the caption (a card list column) and whether it starts ticked.
struct FieldBox {
    const char* caption;
    bool ticked;
};
constexpr FieldBox FieldBoxes[] = {
    {"录入日期", false}, {"分类", true},      {"姓名", true},      {"性别", true},
    {"固定电话", true},  {"移动电话", true},  {"电子邮箱", false}, {"QQ号码", false},
    {"MSN号码", false},  {"阿里旺旺", false}, {"描述", false},     {"省份", true},
    {"城市", true},      {"单位名称", true},  {"所在部门", false}, {"担任职务", false},
    {"单位地址", false}, {"单位电话", false}, {"单位传真", false}, {"邮政编码", false},
    {"单位网站", false}, {"家庭地址", false}, {"家庭电话", false}, {"家属姓名", false},
    {"补充信息", false},
};
} // namespace

TfrmE::TfrmE(QWidget* owner) : ModalWindow(owner, QStringLiteral("frmE"), 560, 260) {
    setWindowTitle(QStringLiteral("EXCEL导出选项"));

    GroupBox1 = placeGroup(this, QStringLiteral("请选择要导出的名片项目"), 16, 8, 513, 153);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    int number = 0;
    for (const FieldBox& field : FieldBoxes) {
        auto* box = new QCheckBox(QString::fromUtf8(field.caption), GroupBox1);
        box->setObjectName(QStringLiteral("CheckBox%1").arg(number + 1));
        box->setGeometry(16 + 100 * (number % 5), 24 + 24 * (number / 5), 80, 17);
        box->setChecked(field.ticked);
        if (!CheckBoxes.isEmpty()) {
            setTabOrder(CheckBoxes.last(), box);
        }
        CheckBoxes.append(box);
        ++number;
    }

    BitBtn2 = placeButton(this, QStringLiteral("BitBtn2"), QStringLiteral("导出"), 335, 176,
                          QStringLiteral(":/icons/excel.svg"));
    BitBtn3 = placeExitButton(this, QStringLiteral("BitBtn3"), 439, 176);
    setTabOrder(CheckBoxes.last(), BitBtn2);
    setTabOrder(BitBtn2, BitBtn3);
    connect(BitBtn2, &QPushButton::clicked, this, &TfrmE::BitBtn2Click);
}

void TfrmE::BitBtn2Click() {
    runCommand(this, [this] {
        QStringList fields;
        for (QCheckBox* box : CheckBoxes) {
            if (box->isChecked()) {
                fields << box->text();
            }
        }
        exportCardList(this, frmMain->ADOQuery1, fields);
    });
}
