#include "frmd_d.h"

#include "app/clock.h"
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
// The grid inside a group: four columns 200 pixels apart, rows 24 pixels apart.
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

    WebBrowser1 = new BannerPane(this);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setGeometry(0, 0, width(), 120);

    GroupBox1 = placeGroup(this, QStringLiteral("基本信息"), 16, 128, 809, 129);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    DBLookupComboBox1 = placeLookup(GroupBox1, QStringLiteral("DBLookupComboBox1"),
                                    QStringLiteral("分        类："), 0, 0);
    Button1 = new QPushButton(QStringLiteral("设置默认项"), GroupBox1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(gridLeft(1), gridTop(0), gridWidth(1), 22);
    Button1->setAutoDefault(false);
    Button1->setFocusPolicy(Qt::ClickFocus); // not a tab stop
    connect(Button1, &QPushButton::clicked, this, &TfrmD_D::Button1Click);
    EditB1 = placeEdit(GroupBox1, QStringLiteral("EditB1"), QStringLiteral("姓        名："), 1, 0,
                       1, 20);
    DBLookupComboBox2 = placeLookup(GroupBox1, QStringLiteral("DBLookupComboBox2"),
                                    QStringLiteral("性        别："), 1, 1);
    EditB2 =
        placeEdit(GroupBox1, QStringLiteral("EditB2"), QStringLiteral("固定电话："), 1, 2, 1, 50);
    EditB3 =
        placeEdit(GroupBox1, QStringLiteral("EditB3"), QStringLiteral("移动电话："), 1, 3, 1, 50);
    EditB4 =
        placeEdit(GroupBox1, QStringLiteral("EditB4"), QStringLiteral("电子邮箱："), 2, 0, 1, 50);
    EditB5 =
        placeEdit(GroupBox1, QStringLiteral("EditB5"), QStringLiteral("QQ   号码："), 2, 1, 1, 50);
    EditB6 =
        placeEdit(GroupBox1, QStringLiteral("EditB6"), QStringLiteral("MSN 号码："), 2, 2, 1, 50);
    EditB7 =
        placeEdit(GroupBox1, QStringLiteral("EditB7"), QStringLiteral("阿里旺旺："), 2, 3, 1, 50);
    EditB8 = placeEdit(GroupBox1, QStringLiteral("EditB8"), QStringLiteral("描        述："), 3, 0,
                       4, 200);

    GroupBox2 = placeGroup(this, QStringLiteral("工作信息"), 16, 264, 809, 101);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    DBLookupComboBox3 = placeLookup(GroupBox2, QStringLiteral("DBLookupComboBox3"),
                                    QStringLiteral("省        份："), 0, 0);
    EditD1 = placeEdit(GroupBox2, QStringLiteral("EditD1"), QStringLiteral("城        市："), 0, 1,
                       1, 20);
    EditD2 =
        placeEdit(GroupBox2, QStringLiteral("EditD2"), QStringLiteral("单位名称："), 0, 2, 2, 50);
    EditD3 =
        placeEdit(GroupBox2, QStringLiteral("EditD3"), QStringLiteral("所在部门："), 1, 0, 1, 20);
    EditD4 =
        placeEdit(GroupBox2, QStringLiteral("EditD4"), QStringLiteral("担任职务："), 1, 1, 1, 20);
    EditD5 =
        placeEdit(GroupBox2, QStringLiteral("EditD5"), QStringLiteral("单位地址："), 1, 2, 2, 50);
    EditD6 =
        placeEdit(GroupBox2, QStringLiteral("EditD6"), QStringLiteral("单位电话："), 2, 0, 1, 50);
    EditD7 = placeEdit(GroupBox2, QStringLiteral("EditD7"), QStringLiteral("传        真："), 2, 1,
                       1, 50);
    EditD8 =
        placeEdit(GroupBox2, QStringLiteral("EditD8"), QStringLiteral("邮政编码："), 2, 2, 1, 10);
    EditD9 =
        placeEdit(GroupBox2, QStringLiteral("EditD9"), QStringLiteral("单位网站："), 2, 3, 1, 50);

    GroupBox3 = placeGroup(this, QStringLiteral("家庭信息"), 16, 372, 809, 77);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    EditF1 =
        placeEdit(GroupBox3, QStringLiteral("EditF1"), QStringLiteral("家庭地址："), 0, 0, 2, 50);
    EditF2 =
        placeEdit(GroupBox3, QStringLiteral("EditF2"), QStringLiteral("家庭电话："), 0, 2, 1, 50);
    EditF3 =
        placeEdit(GroupBox3, QStringLiteral("EditF3"), QStringLiteral("家属姓名："), 0, 3, 1, 20);
    EditF4 =
        placeEdit(GroupBox3, QStringLiteral("EditF4"), QStringLiteral("补充信息："), 1, 0, 4, 200);

    BitBtn1 = placeSaveButton(this, 620, 460);
    BitBtn2 = placeExitButton(this, 732, 460);
    connect(BitBtn1, &QPushButton::clicked, this, &TfrmD_D::BitBtn1Click);

    m_edits = {EditB1, EditB2, EditB3, EditB4, EditB5, EditB6, EditB7,
               EditB8, EditD1, EditD2, EditD3, EditD4, EditD5, EditD6,
               EditD7, EditD8, EditD9, EditF1, EditF2, EditF3, EditF4};
    m_card = {{QStringLiteral("theType"), DBLookupComboBox1},
              {QStringLiteral("BName"), EditB1},
              {QStringLiteral("BSex"), DBLookupComboBox2},
              {QStringLiteral("BPho"), EditB2},
              {QStringLiteral("BMob"), EditB3},
              {QStringLiteral("BMail"), EditB4},
              {QStringLiteral("BQQ"), EditB5},
              {QStringLiteral("BMSN"), EditB6},
              {QStringLiteral("BWW"), EditB7},
              {QStringLiteral("BDes"), EditB8},
              {QStringLiteral("DArea"), DBLookupComboBox3},
              {QStringLiteral("DCity"), EditD1},
              {QStringLiteral("DName"), EditD2},
              {QStringLiteral("DPart"), EditD3},
              {QStringLiteral("DJob"), EditD4},
              {QStringLiteral("DAdd"), EditD5},
              {QStringLiteral("DPho"), EditD6},
              {QStringLiteral("DFax"), EditD7},
              {QStringLiteral("DPos"), EditD8},
              {QStringLiteral("DWWW"), EditD9},
              {QStringLiteral("FAdd"), EditF1},
              {QStringLiteral("FPho"), EditF2},
              {QStringLiteral("FPro"), EditF3},
              {QStringLiteral("FDes"), EditF4}};

    // Group by group, the banner after the first one, then the two buttons.
    const QList<QWidget*> tabOrder = {DBLookupComboBox1,
                                      EditB1,
                                      DBLookupComboBox2,
                                      EditB2,
                                      EditB3,
                                      EditB4,
                                      EditB5,
                                      EditB6,
                                      EditB7,
                                      EditB8,
                                      WebBrowser1,
                                      DBLookupComboBox3,
                                      EditD1,
                                      EditD2,
                                      EditD3,
                                      EditD4,
                                      EditD5,
                                      EditD6,
                                      EditD7,
                                      EditD8,
                                      EditD9,
                                      EditF1,
                                      EditF2,
                                      EditF3,
                                      EditF4,
                                      BitBtn1,
                                      BitBtn2};
    for (qsizetype i = 1; i < tabOrder.size(); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }

    FormCreate();
}

GbkLineEdit* TfrmD_D::placeEdit(QGroupBox* group, const QString& name, const QString& label,
                                int row, int column, int span, int maxBytes) {
    auto* edit = new GbkLineEdit(group);
    edit->setObjectName(name);
    edit->setGeometry(gridLeft(column), gridTop(row), gridWidth(span), 22);
    edit->setMaxBytes(maxBytes);
    placeBuddyLabel(group, label, labelLeft(column), edit);
    return edit;
}

LookupCombo* TfrmD_D::placeLookup(QGroupBox* group, const QString& name, const QString& label,
                                  int row, int column) {
    auto* combo = new LookupCombo(group);
    combo->setObjectName(name);
    combo->setGeometry(gridLeft(column), gridTop(row), gridWidth(1), 22);
    placeBuddyLabel(group, label, labelLeft(column), combo);
    return combo;
}

void TfrmD_D::resizeEvent(QResizeEvent* event) {
    CardDialog::resizeEvent(event);
    WebBrowser1->setGeometry(0, 0, width(), 120); // only the banner follows the width
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
    openQuery(ADOQuery1, QStringLiteral("select ID from D_B Where theType='") + sqlText(values[0]) +
                             QStringLiteral("' and BName='") + sqlText(values[1]) +
                             QStringLiteral("' and BSex='") + sqlText(values[2]) +
                             QStringLiteral("' and theDel='否'"));
    return ADOQuery1->recordCount() > 0;
}

void TfrmD_D::saveNewCard(const QString& today, const QStringList& values) {
    if (liveDuplicateExists(values)) {
        refuse(values[0] + QLatin1Char(' ') + values[1] + QLatin1Char(' ') + values[2] +
               QStringLiteral(" 已经存在！"));
        return;
    }
    QStringList columns{QStringLiteral("theDate")};
    QStringList literals{sqlText(today)};
    for (qsizetype i = 0; i < m_card.size(); ++i) {
        columns << m_card[i].column;
        literals << sqlText(values[i]);
    }
    columns << QStringLiteral("theDel");
    literals << QStringLiteral("否");
    execCommand(ADOQuery2, QStringLiteral("Insert into D_B(") + columns.join(QLatin1Char(',')) +
                               QStringLiteral(") values('") + literals.join(QStringLiteral("','")) +
                               QStringLiteral("')"));
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
