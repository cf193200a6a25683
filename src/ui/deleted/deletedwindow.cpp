#include "ui/deleted/deletedwindow.h"

#include "app/datamodule.h"
#include "db/cardfields.h"
#include "db/cardlist.h"
#include "db/cards.h"
#include "db/purge.h"
#include "db/query.h"
#include "db/visits.h"
#include "db/writelock.h"
#include "ui/common/cardcolumns.h"
#include "ui/common/datagrid.h"
#include "ui/common/messages.h"
#include "ui/common/widgets.h"

#include <QLabel>
#include <QPushButton>

TfrmDeleted::TfrmDeleted(QWidget* owner)
    : ModalWindow(owner, QStringLiteral("frmDeleted"), 860, 460) {
    setWindowTitle(QStringLiteral("已删除名片"));

    ADOQuery1 = new Query(this);
    ADOQuery2 = new Query(this);

    DBGrid1 = new DataGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("已删除名片"));
    DBGrid1->setGeometry(16, 16, 812, 344);
    DBGrid1->setQuery(ADOQuery1);

    Label1 = placeLabel(this, QString(), 16, 378);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setMinimumWidth(300);
    BitBtn4 =
        placeButton(this, QStringLiteral("BitBtn4"), QStringLiteral("全部彻底删除"), 424, 372);
    BitBtn4->resize(95, BitBtn4->height());
    BitBtn3 = placeButton(this, QStringLiteral("BitBtn3"), QStringLiteral("彻底删除"), 535, 372);
    BitBtn1 = placeButton(this, QStringLiteral("BitBtn1"), QStringLiteral("恢复"), 644, 372);
    BitBtn2 = placeExitButton(this, QStringLiteral("BitBtn2"), 753, 372);
    connect(BitBtn1, &QPushButton::clicked, this, &TfrmDeleted::BitBtn1Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TfrmDeleted::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TfrmDeleted::BitBtn4Click);
    keepControlsShown();

    runCommand(this, [this] { myRef(); });
}

void TfrmDeleted::myRef() {
    ADOQuery1->openOn(frmDM->ADOConnection1, deletedCardListStatement());
    DBGrid1->setColumnLayout(cardListWidths());
    Label1->setText(QStringLiteral("已删除名片数量：") + QString::number(ADOQuery1->recordCount()));
}

bool TfrmDeleted::hasCard() const {
    return ADOQuery1->active() && ADOQuery1->recordCount() > 0;
}

void TfrmDeleted::BitBtn1Click() {
    if (!hasCard()) {
        return;
    }
    runCommand(this, [this] {
        CardValues card;
        for (const char* column : {"theType", "BName", "BSex"}) {
            card.insert(column, ADOQuery1->fieldByName(cardField(column).caption));
        }
        if (!restoreUnlessDuplicate(ADOQuery1->fieldByName(QStringLiteral("ID")), card)) {
            Messages::info(this, duplicateCardMessage(card));
            return;
        }
        emit cardsChanged();
        myRef();
    });
}

// The check and the restore hold the write lock together: another program cannot store the
// same card in between.
bool TfrmDeleted::restoreUnlessDuplicate(const QString& id, const CardValues& card) {
    Connection* cards = frmDM->ADOConnection1;
    WriteLock lock(cards);
    ADOQuery2->openOn(cards, duplicateCheckStatement(card));
    if (ADOQuery2->recordCount() > 0) {
        return false;
    }
    ADOQuery2->executeOn(cards, restoreCardStatement(id));
    lock.commit();
    return true;
}

void TfrmDeleted::BitBtn3Click() {
    if (!hasCard()) {
        return;
    }
    runCommand(this, [this] {
        const QString id = ADOQuery1->fieldByName(QStringLiteral("ID"));
        ADOQuery2->openOn(frmDM->ADOConnection1, visitListStatement(id));
        const QString question =
            QStringLiteral("确定要彻底删除名片 %1 吗？名片和它的 %2 条拜访记录将从数据文件中删除，"
                           "不能恢复。")
                .arg(ADOQuery1->fieldByName(QStringLiteral("姓名")))
                .arg(ADOQuery2->recordCount());
        if (!Messages::confirm(this, question, QStringLiteral("彻底删除"), false)) {
            return;
        }
        if (purgeCard(frmDM->ADOConnection1, id) == PurgeOutcome::NotDeleted) {
            Messages::info(this, QStringLiteral("该名片已不在已删除名片中，没有删除。"));
        }
        myRef();
    });
}

void TfrmDeleted::BitBtn4Click() {
    if (!hasCard()) {
        return;
    }
    const QString question =
        QStringLiteral("确定要彻底删除全部 %1 张已删除的名片吗？这些名片和它们的拜访记录将从"
                       "数据文件中删除，不能恢复。")
            .arg(ADOQuery1->recordCount());
    if (!Messages::confirm(this, question, QStringLiteral("彻底删除"), false)) {
        return;
    }
    runCommand(this, [this] {
        purgeDeletedCards(frmDM->ADOConnection1);
        myRef();
    });
}
