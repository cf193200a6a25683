#include "ui/visits/visitwindow.h"

#include "db/cardstore.h"
#include "db/clock.h"
#include "db/query.h"
#include "ui/common/bannerpane.h"
#include "ui/common/datagrid.h"
#include "ui/common/gbklineedit.h"
#include "ui/common/messages.h"
#include "ui/common/storewait.h"
#include "ui/common/widgets.h"
#include "ui/exchange/visitexport.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

TfrmList::TfrmList(QWidget* owner, CardStore& store, qint64 cardId, const QString& cardName)
    : ModalWindow(owner, QStringLiteral("frmList"), 850, 530), m_store(store), m_cardId(cardId) {
    const QString caption = cardName + QStringLiteral(" 拜访记录");
    setWindowTitle(caption);

    visitList = new Query(this);

    WebBrowser1 = BannerPane::acrossTop(this);

    GroupBox1 = placeGroup(this, caption, 16, 128, 801, 193);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    DBGrid1 = new DataGrid(GroupBox1);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("拜访记录"));
    DBGrid1->setGeometry(8, 16, 785, 169);
    DBGrid1->setQuery(visitList);
    // The content column takes the room the short date and kind columns leave.
    DBGrid1->horizontalHeader()->setStretchLastSection(true);

    GroupBox2 = placeGroup(this, caption, 16, 328, 801, 105);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    buildEntryPane();
    buildButtons();

    buildPopupMenu();

    keepControlsShown(WebBrowser1);
    dateBox->setText(dateText(Clock::today()));
    WebBrowser1->navigate(BannerPane::Page::Child);
    askToSaveOnClose(
        QStringLiteral("拜访记录已修改，要保存吗？"),
        [this] {
            return QStringList{dateBox->text(), kindBox->currentText(), memoBox->text()};
        },
        [this] { return addTypedVisit(); });
}

void TfrmList::buildEntryPane() {
    dateBox = new GbkLineEdit(GroupBox2);
    dateBox->setObjectName(QStringLiteral("Edit1"));
    dateBox->setMaxBytes(10);
    dateBox->setGeometry(80, 20, 121, 22);
    placeBuddyLabel(GroupBox2, QStringLiteral("拜访日期："), 16, dateBox)
        ->setObjectName(QStringLiteral("Label1"));

    kindBox = new QComboBox(GroupBox2);
    kindBox->setObjectName(QStringLiteral("ComboBox1"));
    auto* kindEdit = new GbkLineEdit(kindBox);
    kindEdit->setMaxBytes(10);
    kindBox->setLineEdit(kindEdit);
    kindBox->setInsertPolicy(QComboBox::NoInsert); // a typed kind is not added to the list
    kindBox->addItems({QStringLiteral("电话"), QStringLiteral("上门"), QStringLiteral("吃饭"),
                       QStringLiteral("娱乐"), QStringLiteral("其它")});
    kindBox->setCurrentIndex(0);
    kindBox->setGeometry(80, 44, 120, 22);
    placeBuddyLabel(GroupBox2, QStringLiteral("拜访方式："), 16, kindBox)
        ->setObjectName(QStringLiteral("Label3"));

    memoBox = new GbkLineEdit(GroupBox2);
    memoBox->setObjectName(QStringLiteral("Edit2"));
    memoBox->setMaxBytes(100);
    memoBox->setGeometry(80, 68, 705, 22);
    placeBuddyLabel(GroupBox2, QStringLiteral("拜访内容："), 16, memoBox)
        ->setObjectName(QStringLiteral("Label4"));
}

void TfrmList::buildButtons() {
    saveButton = placeButton(this, QStringLiteral("BitBtn1"), QStringLiteral("保存"), 524, 450,
                             QStringLiteral(":/icons/save.svg"));
    excelButton = placeButton(this, QStringLiteral("BitBtn3"), QStringLiteral("Excel"), 623, 450,
                              QStringLiteral(":/icons/excel.svg"));
    exitButton = placeExitButton(this, QStringLiteral("BitBtn2"), 724, 450);
    setSaveButton(saveButton);
    connect(saveButton, &QPushButton::clicked, this, &TfrmList::saveVisit);
    connect(excelButton, &QPushButton::clicked, this, &TfrmList::exportVisits);
}

void TfrmList::buildPopupMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QAction* remove =
        PopupMenu1->addAction(QStringLiteral("注销拜访记录 &D"), this, &TfrmList::removeVisit);
    remove->setObjectName(QStringLiteral("D1"));
    // The item removes the visit the menu was opened on; opened below the last row or on
    // the titles, it is disabled.
    DBGrid1->setPopupMenu(PopupMenu1, {remove});
}

void TfrmList::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) {
        return; // restored by the window system, not a new showing
    }
    runCommand(this, [this] { readVisits(); });
    memoBox->setFocus();
}

void TfrmList::readVisits() {
    visitList->close(); // visits that cannot be read show none
    visitList->openResult(m_store.visits(m_cardId));
    DBGrid1->setColumnLayout({0});
}

void TfrmList::saveVisit() {
    addTypedVisit();
}

bool TfrmList::addTypedVisit() {
    if (memoBox->text().isEmpty()) {
        Messages::info(this, QStringLiteral("拜访内容 不能为空！"));
        memoBox->setFocus();
        return false;
    }
    return runCommand(this, [this] {
        const QString date = dateBox->text();
        const QString kind = kindBox->currentText();
        const QString memo = memoBox->text();
        waitForStore(this, m_store, [&] { return m_store.addVisit(m_cardId, date, kind, memo); });
        Messages::info(this, QStringLiteral("恭喜！恭喜！ 拜访信息 保存成功！"));
        memoBox->clear();
        markInputSaved();
        memoBox->setFocus(); // ready for the next visit
        readVisits();
    });
}

void TfrmList::removeVisit() {
    if (!visitList->active() || visitList->recordCount() == 0 ||
        visitList->fieldByName(QStringLiteral("ID")).isEmpty()) {
        return;
    }
    if (!Messages::confirm(this, QStringLiteral("确认要注销拜访信息吗？该注销将不可恢复！"),
                           QStringLiteral("注销名片"), false)) {
        return;
    }
    runCommand(this, [this] {
        const qint64 visit = visitList->fieldByName(QStringLiteral("ID")).toLongLong();
        waitForStore(this, m_store, [&] { m_store.removeVisit(visit); });
        readVisits();
    });
}

void TfrmList::exportVisits() {
    runCommand(this, [this] { exportVisitLog(this, GroupBox1->title(), visitList); });
}
