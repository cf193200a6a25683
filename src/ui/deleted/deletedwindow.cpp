#include "ui/deleted/deletedwindow.h"

#include "app/datamodule.h"
#include "db/cardfields.h"
#include "db/cardlist.h"
#include "db/cards.h"
#include "db/query.h"
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
    BitBtn1 = placeButton(this, QStringLiteral("BitBtn1"), QStringLiteral("恢复"), 644, 372);
    BitBtn2 = placeExitButton(this, QStringLiteral("BitBtn2"), 753, 372);
    connect(BitBtn1, &QPushButton::clicked, this, &TfrmDeleted::BitBtn1Click);
    keepControlsShown();

    runCommand(this, [this] { myRef(); });
}

void TfrmDeleted::myRef() {
    ADOQuery1->openOn(frmDM->ADOConnection1, deletedCardListStatement());
    DBGrid1->setColumnLayout(cardListWidths());
    Label1->setText(QStringLiteral("已删除名片数量：") + QString::number(ADOQuery1->recordCount()));
}

void TfrmDeleted::BitBtn1Click() {
    if (!ADOQuery1->active() || ADOQuery1->recordCount() == 0) {
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
