#include "frmd_d.h"

#include "app/clock.h"
#include "db/cardstatements.h"
#include "db/query.h"
#include "db/sqltext.h"
#include "frmmrx.h"
#include "ui/common/bannerpane.h"
#include "ui/common/gbklineedit.h"
#include "ui/common/lookupcombo.h"
#include "ui/common/messages.h"
#include "ui/common/widgets.h"
#include "ui/main/frmmain.h"

#include <QGroupBox>
#include <QPushButton>

namespace {
// The grid inside a group: four columns 200 pixels apart, rows 24 pixels apart; a control
// spans one, two or four columns.
int gridLeft(int column) {
    return 72 + 200 * column;
}
int labelLeft(int column) {
    return 8 + 200 * column;
}
int gridTop(int row) {
    return 20 + 24 * row;
}
int gridWidth(int span) {
    return 121 + 200 * (span - 1);
}
} // namespace

TfrmD_D::TfrmD_D(QWidget* owner) : CardDialog(owner, QStringLiteral("frmD_D"), 860, 540) {
    ADOQuery1 = new Query(this);
    ADOQuery2 = new Query(this);

    WebBrowser1 = BannerPane::acrossTop(this); // only the banner follows the window's width

    // The card's controls are created in the order of the columns in the statements.
    GroupBox1 = placeGroup(this, QStringLiteral("基本信息"), 16, 128, 809, 129);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    DBLookupComboBox1 =
        placeLookup(GroupBox1, "DBLookupComboBox1", "分        类：", {0, 0}, "theType");
    Button1 = new QPushButton(QStringLiteral("设置默认项"), GroupBox1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(gridLeft(1), gridTop(0), gridWidth(1), 22);
    Button1->setAutoDefault(false);
    Button1->setFocusPolicy(Qt::ClickFocus); // not a tab stop
    connect(Button1, &QPushButton::clicked, this, &TfrmD_D::Button1Click);
    EditB1 = placeEdit(GroupBox1, "EditB1", "姓        名：", {1, 0}, 20, "BName");
    DBLookupComboBox2 =
        placeLookup(GroupBox1, "DBLookupComboBox2", "性        别：", {1, 1}, "BSex");
    EditB2 = placeEdit(GroupBox1, "EditB2", "固定电话：", {1, 2}, 50, "BPho");
    EditB3 = placeEdit(GroupBox1, "EditB3", "移动电话：", {1, 3}, 50, "BMob");
    EditB4 = placeEdit(GroupBox1, "EditB4", "电子邮箱：", {2, 0}, 50, "BMail");
    EditB5 = placeEdit(GroupBox1, "EditB5", "QQ   号码：", {2, 1}, 50, "BQQ");
    EditB6 = placeEdit(GroupBox1, "EditB6", "MSN 号码：", {2, 2}, 50, "BMSN");
    EditB7 = placeEdit(GroupBox1, "EditB7", "阿里旺旺：", {2, 3}, 50, "BWW");
    EditB8 = placeEdit(GroupBox1, "EditB8", "描        述：", {3, 0, 4}, 200, "BDes");

    GroupBox2 = placeGroup(this, QStringLiteral("工作信息"), 16, 264, 809, 101);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    DBLookupComboBox3 =
        placeLookup(GroupBox2, "DBLookupComboBox3", "省        份：", {0, 0}, "DArea");
    EditD1 = placeEdit(GroupBox2, "EditD1", "城        市：", {0, 1}, 20, "DCity");
    EditD2 = placeEdit(GroupBox2, "EditD2", "单位名称：", {0, 2, 2}, 50, "DName");
    EditD3 = placeEdit(GroupBox2, "EditD3", "所在部门：", {1, 0}, 20, "DPart");
    EditD4 = placeEdit(GroupBox2, "EditD4", "担任职务：", {1, 1}, 20, "DJob");
    EditD5 = placeEdit(GroupBox2, "EditD5", "单位地址：", {1, 2, 2}, 50, "DAdd");
    EditD6 = placeEdit(GroupBox2, "EditD6", "单位电话：", {2, 0}, 50, "DPho");
    EditD7 = placeEdit(GroupBox2, "EditD7", "传        真：", {2, 1}, 50, "DFax");
    EditD8 = placeEdit(GroupBox2, "EditD8", "邮政编码：", {2, 2}, 10, "DPos");
    EditD9 = placeEdit(GroupBox2, "EditD9", "单位网站：", {2, 3}, 50, "DWWW");

    GroupBox3 = placeGroup(this, QStringLiteral("家庭信息"), 16, 372, 809, 77);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    EditF1 = placeEdit(GroupBox3, "EditF1", "家庭地址：", {0, 0, 2}, 50, "FAdd");
    EditF2 = placeEdit(GroupBox3, "EditF2", "家庭电话：", {0, 2}, 50, "FPho");
    EditF3 = placeEdit(GroupBox3, "EditF3", "家属姓名：", {0, 3}, 20, "FPro");
    EditF4 = placeEdit(GroupBox3, "EditF4", "补充信息：", {1, 0, 4}, 200, "FDes");

    BitBtn1 = placeSaveButton(this, 620, 460);
    BitBtn2 = placeExitButton(this, QStringLiteral("BitBtn2"), 732, 460);
    connect(BitBtn1, &QPushButton::clicked, this, &TfrmD_D::BitBtn1Click);

    // Tab order: the card's controls group by group with the banner after the first group,
    // then the two buttons.
    QList<QWidget*> tabOrder;
    for (const CardColumn& card : std::as_const(m_card)) {
        tabOrder << card.control;
    }
    tabOrder.insert(tabOrder.indexOf(DBLookupComboBox3), WebBrowser1);
    tabOrder << BitBtn1 << BitBtn2;
    for (qsizetype i = 1; i < tabOrder.size(); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }

    FormCreate();
}

GbkLineEdit* TfrmD_D::placeEdit(QGroupBox* group, const char* name, const char* label,
                                GridCell cell, int maxBytes, const char* column) {
    auto* edit = new GbkLineEdit(group);
    edit->setMaxBytes(maxBytes);
    placeCardControl(edit, name, label, cell, column);
    m_edits << edit;
    return edit;
}

LookupCombo* TfrmD_D::placeLookup(QGroupBox* group, const char* name, const char* label,
                                  GridCell cell, const char* column) {
    auto* combo = new LookupCombo(group);
    placeCardControl(combo, name, label, cell, column);
    return combo;
}

void TfrmD_D::placeCardControl(QWidget* control, const char* name, const char* label, GridCell cell,
                               const char* column) {
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(gridLeft(cell.column), gridTop(cell.row), gridWidth(cell.span), 22);
    placeBuddyLabel(control->parentWidget(), QString::fromUtf8(label), labelLeft(cell.column),
                    control);
    m_card << CardColumn{QString::fromLatin1(column), control};
}

void TfrmD_D::FormCreate() {
    WebBrowser1->navigate(BannerPane::Page::Child);
    runCommand(this, [this] { bindLookups(); });
}

void TfrmD_D::showEvent(QShowEvent* event) {
    CardDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TfrmD_D::FormShow() {
    runCommand(this, [this] {
        if (isNewMode()) {
            myNew();
        } else {
            myLoad();
        }
    });
}

void TfrmD_D::myNew() {
    selectStoredDefaults(ADOQuery1, QStringLiteral("select theType, theSex, theP from D_Mr"));
    for (GbkLineEdit* edit : std::as_const(m_edits)) {
        edit->clear();
    }
    EditB1->setFocus();
}

void TfrmD_D::myLoad() {
    openQuery(ADOQuery1, QStringLiteral("Select * from D_B Where ID=") + sqlId(theID));
    if (ADOQuery1->recordCount() != 1) {
        myNew();
        return;
    }
    for (const CardColumn& card : std::as_const(m_card)) {
        const QString value = ADOQuery1->fieldByName(card.column);
        if (auto* combo = qobject_cast<LookupCombo*>(card.control)) {
            combo->setKeyValue(value);
        } else {
            auto* edit = static_cast<GbkLineEdit*>(card.control);
            edit->setText(value);
            edit->setCursorPosition(0); // a long value shows its start
        }
    }
}

QStringList TfrmD_D::cardValues() const {
    QStringList values;
    for (const CardColumn& card : m_card) {
        if (auto* combo = qobject_cast<LookupCombo*>(card.control)) {
            values << combo->shownText();
        } else {
            values << static_cast<GbkLineEdit*>(card.control)->text();
        }
    }
    return values;
}

void TfrmD_D::BitBtn1Click() {
    runCommand(this, [this] {
        const QString today = dateText(Clock::today());
        if (EditB1->text().isEmpty()) {
            refuse(QStringLiteral("姓名 不能为空！"));
            return;
        }
        const QStringList values = cardValues();
        if (isNewMode()) {
            saveNewCard(today, values);
        } else {
            saveChangedCard(values);
        }
    });
}

void TfrmD_D::refuse(const QString& message) {
    Messages::info(this, message);
    EditB1->setFocus();
}

bool TfrmD_D::liveDuplicateExists(const QStringList& values) {
    openQuery(ADOQuery1, duplicateCheckStatement(values[0], values[1], values[2]));
    return ADOQuery1->recordCount() > 0;
}

void TfrmD_D::saveNewCard(const QString& today, const QStringList& values) {
    if (liveDuplicateExists(values)) {
        refuse(values[0] + QLatin1Char(' ') + values[1] + QLatin1Char(' ') + values[2] +
               QStringLiteral(" 已经存在！"));
        return;
    }
    execCommand(ADOQuery2, cardInsertStatement(today, values));
    Messages::info(this, QStringLiteral("恭喜！恭喜！名片 新增 保存成功！"));
    frmMain->myRef();
    myNew();
}

// The card may have gone since it was loaded (or was never found, and a blank card stands in
// its place), or may have been deleted: an update would then change no live card, so the
// change is refused rather than reported as saved.
bool TfrmD_D::editedCardIsLive() {
    openQuery(ADOQuery1, QStringLiteral("select ID from D_B Where ID=") + sqlId(theID) +
                             QStringLiteral(" and theDel='否'"));
    return ADOQuery1->recordCount() == 1;
}

void TfrmD_D::saveChangedCard(const QStringList& values) {
    if (!editedCardIsLive()) {
        refuse(QStringLiteral("该名片已不存在或已被删除，修改没有保存！"));
        return;
    }
    QStringList assignments;
    for (qsizetype i = 0; i < m_card.size(); ++i) {
        assignments << m_card[i].column + QStringLiteral("='") + sqlText(values[i]) +
                           QLatin1Char('\'');
    }
    execCommand(ADOQuery2, QStringLiteral("Update D_B set ") + assignments.join(QLatin1Char(',')) +
                               QStringLiteral(" Where id=") + sqlId(theID));
    Messages::info(this, QStringLiteral("恭喜！恭喜！名片 修改 保存成功！"));
    frmMain->myRef();
    close();
}

void TfrmD_D::Button1Click() {
    frmMRX = new TfrmMRX(this);
    frmMRX->exec();
    frmMRX->deleteLater();
}
