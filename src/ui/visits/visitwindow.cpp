#include "ui/visits/visitwindow.h"

#include "app/datamodule.h"
#include "db/clock.h"
#include "db/query.h"
#include "db/visits.h"
#include "ui/common/bannerpane.h"
#include "ui/common/datagrid.h"
#include "ui/common/gbklineedit.h"
#include "ui/common/messages.h"
#include "ui/common/widgets.h"
#include "ui/exchange/visitexport.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

TfrmList::TfrmList(QWidget* owner) : ModalWindow(owner, QStringLiteral("frmList"), 850, 530) {
    setWindowTitle(QStringLiteral("拜访记录"));

    ADOQuery1 = new Query(this);
    ADOQuery2 = new Query(this);

    WebBrowser1 = BannerPane::acrossTop(this);

    GroupBox1 = placeGroup(this, QStringLiteral("拜访记录"), 16, 128, 801, 193);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    DBGrid1 = new DataGrid(GroupBox1);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("拜访记录"));
    DBGrid1->setGeometry(8, 16, 785, 169);
    DBGrid1->setQuery(ADOQuery1);
    // The content column takes the room the short date and kind columns leave.
    DBGrid1->horizontalHeader()->setStretchLastSection(true);

    GroupBox2 = placeGroup(this, QStringLiteral("拜访信息"), 16, 328, 801, 105);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    buildEntryPane();
    buildButtons();

    Lab_ID = placeLabel(this, QString(), 24, 428);
    Lab_ID->setObjectName(QStringLiteral("Lab_ID"));
    Lab_ID->setVisible(false);

    buildPopupMenu();

    keepControlsShown(WebBrowser1);
    FormCreate();
}

void TfrmList::buildEntryPane() {
    Edit1 = new GbkLineEdit(GroupBox2);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setMaxBytes(10);
    Edit1->setGeometry(80, 20, 121, 22);
    placeBuddyLabel(GroupBox2, QStringLiteral("拜访日期："), 16, Edit1)
        ->setObjectName(QStringLiteral("Label1"));

    ComboBox1 = new QComboBox(GroupBox2);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    auto* kindEdit = new GbkLineEdit(ComboBox1);
    kindEdit->setMaxBytes(10);
    ComboBox1->setLineEdit(kindEdit);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert); // a typed kind is not added to the list
    ComboBox1->addItems({QStringLiteral("电话"), QStringLiteral("上门"), QStringLiteral("吃饭"),
                         QStringLiteral("娱乐"), QStringLiteral("其它")});
    ComboBox1->setCurrentIndex(0);
    ComboBox1->setGeometry(80, 44, 120, 22);
    placeBuddyLabel(GroupBox2, QStringLiteral("拜访方式："), 16, ComboBox1)
        ->setObjectName(QStringLiteral("Label3"));

    Edit2 = new GbkLineEdit(GroupBox2);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setMaxBytes(100);
    Edit2->setGeometry(80, 68, 705, 22);
    placeBuddyLabel(GroupBox2, QStringLiteral("拜访内容："), 16, Edit2)
        ->setObjectName(QStringLiteral("Label4"));
}

void TfrmList::buildButtons() {
    BitBtn1 = placeButton(this, QStringLiteral("BitBtn1"), QStringLiteral("保存"), 524, 450,
                          QStringLiteral(":/icons/save.svg"));
    BitBtn3 = placeButton(this, QStringLiteral("BitBtn3"), QStringLiteral("Excel"), 623, 450,
                          QStringLiteral(":/icons/excel.svg"));
    BitBtn2 = placeExitButton(this, QStringLiteral("BitBtn2"), 724, 450);
    setSaveButton(BitBtn1);
    connect(BitBtn1, &QPushButton::clicked, this, &TfrmList::BitBtn1Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TfrmList::BitBtn3Click);
}

void TfrmList::buildPopupMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QAction* remove =
        PopupMenu1->addAction(QStringLiteral("注销拜访记录 &D"), this, &TfrmList::D1Click);
    remove->setObjectName(QStringLiteral("D1"));
    // The item removes the visit the menu was opened on; opened below the last row or on
    // the titles, it is disabled.
    DBGrid1->setPopupMenu(PopupMenu1, {remove});
}

void TfrmList::FormCreate() {
    Edit1->setText(dateText(Clock::today()));
    WebBrowser1->navigate(BannerPane::Page::Child);
}

void TfrmList::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) {
        return; // restored by the window system, not a new showing
    }
    runCommand(this, [this] { Ref(); });
    Edit2->setFocus();
}

void TfrmList::Ref() {
    ADOQuery1->openOn(frmDM->ADOConnection1, visitListStatement(Lab_ID->text()));
    DBGrid1->setColumnLayout({0});
}

void TfrmList::BitBtn1Click() {
    if (Edit2->text().isEmpty()) {
        Messages::info(this, QStringLiteral("拜访内容 不能为空！"));
        Edit2->setFocus();
        return;
    }
    runCommand(this, [this] {
        ADOQuery1->executeOn(frmDM->ADOConnection1,
                             visitInsertStatement(Lab_ID->text(), Edit1->text(),
                                                  ComboBox1->currentText(), Edit2->text()));
        Messages::info(this, QStringLiteral("恭喜！恭喜！ 拜访信息 保存成功！"));
        Edit2->clear();
        Edit2->setFocus(); // ready for the next visit
        Ref();
    });
}

void TfrmList::D1Click() {
    if (!ADOQuery1->active() || ADOQuery1->recordCount() == 0 ||
        ADOQuery1->fieldByName(QStringLiteral("ID")).isEmpty()) {
        return;
    }
    if (!Messages::confirm(this, QStringLiteral("确认要注销拜访信息吗？该注销将不可恢复！"),
                           QStringLiteral("注销名片"), false)) {
        return;
    }
    runCommand(this, [this] {
        ADOQuery2->executeOn(frmDM->ADOConnection1,
                             visitDeleteStatement(ADOQuery1->fieldByName(QStringLiteral("ID"))));
        Ref();
    });
}

void TfrmList::BitBtn3Click() {
    runCommand(this, [this] { exportVisitLog(this, GroupBox1->title(), ADOQuery1); });
}

void TfrmList::done(int result) {
    emit cardsChanged(); // the visit count of the main list follows
    QDialog::done(result);
}
