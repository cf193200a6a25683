#include "ui/deleted/deletedwindow.h"

#include "db/cardstore.h"
#include "db/query.h"
#include "db/serverrights.h"
#include "ui/common/cardcolumns.h"
#include "ui/common/datagrid.h"
#include "ui/common/messages.h"
#include "ui/common/storewait.h"
#include "ui/common/widgets.h"

#include <QLabel>
#include <QPushButton>

TfrmDeleted::TfrmDeleted(QWidget* owner, CardStore& store)
    : ModalWindow(owner, QStringLiteral("frmDeleted"), 860, 460), m_store(store) {
    setWindowTitle(QStringLiteral("已删除名片"));

    deletedList = new Query(this);

    DBGrid1 = new DataGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("已删除名片"));
    DBGrid1->setGeometry(16, 16, 812, 344);
    DBGrid1->setQuery(deletedList);

    deletedCount = placeLabel(this, QString(), 16, 378);
    deletedCount->setObjectName(QStringLiteral("Label1"));
    deletedCount->setMinimumWidth(300);
    purgeAllButton =
        placeButton(this, QStringLiteral("BitBtn4"), QStringLiteral("全部彻底删除"), 424, 372);
    purgeAllButton->resize(95, purgeAllButton->height());
    purgeButton =
        placeButton(this, QStringLiteral("BitBtn3"), QStringLiteral("彻底删除"), 535, 372);
    restoreButton = placeButton(this, QStringLiteral("BitBtn1"), QStringLiteral("恢复"), 644, 372);
    exitButton = placeExitButton(this, QStringLiteral("BitBtn2"), 753, 372);
    connect(restoreButton, &QPushButton::clicked, this, &TfrmDeleted::restoreCard);
    connect(purgeButton, &QPushButton::clicked, this, &TfrmDeleted::purgeCard);
    connect(purgeAllButton, &QPushButton::clicked, this, &TfrmDeleted::purgeAllCards);
    keepControlsShown();

    runCommand(this, [this] {
        greyOutWhatTheUserMayNotDo();
        myRef();
    });
}

void TfrmDeleted::greyOutWhatTheUserMayNotDo() {
    if (userRights(m_store.engine()).mayPurge) {
        return;
    }
    for (QPushButton* button : {purgeButton, purgeAllButton}) {
        button->setEnabled(false);
        button->setToolTip(UserRights::notAllowedText(QStringLiteral("彻底删除名片")));
    }
}

void TfrmDeleted::myRef() {
    deletedList->close(); // a list that cannot be read shows no cards
    deletedList->openResult(m_store.deletedCards());
    DBGrid1->setColumnLayout(cardListWidths());
    deletedCount->setText(QStringLiteral("已删除名片数量：") +
                          QString::number(deletedList->recordCount()));
}

bool TfrmDeleted::hasCard() const {
    return deletedList->active() && deletedList->recordCount() > 0;
}

void TfrmDeleted::restoreCard() {
    if (!hasCard()) {
        return;
    }
    runCommand(this, [this] {
        const qint64 id = deletedList->fieldByName(QStringLiteral("ID")).toLongLong();
        if (waitForStore(this, m_store, [&] { return m_store.restore(id); }) ==
            WriteOutcome::Duplicate) {
            CardValues card;
            for (const char* column : {"theType", "BName", "BSex"}) {
                card.insert(column, deletedList->fieldByName(cardField(column).caption));
            }
            Messages::info(this, duplicateCardMessage(card));
            return;
        }
        myRef();
    });
}

void TfrmDeleted::purgeCard() {
    if (!hasCard()) {
        return;
    }
    runCommand(this, [this] {
        const qint64 id = deletedList->fieldByName(QStringLiteral("ID")).toLongLong();
        const QString question =
            QStringLiteral("确定要彻底删除名片 %1 吗？名片和它的 %2 条拜访记录将从数据文件中删除，"
                           "不能恢复。")
                .arg(deletedList->fieldByName(QStringLiteral("姓名")))
                .arg(m_store.visits(id)->rowCount());
        if (!Messages::confirm(this, question, QStringLiteral("彻底删除"), false)) {
            return;
        }
        if (waitForStore(this, m_store, [&] { return m_store.purgeCard(id); }) ==
            WriteOutcome::Gone) {
            Messages::info(this, QStringLiteral("该名片已不在已删除名片中，没有删除。"));
        }
        myRef();
    });
}

void TfrmDeleted::purgeAllCards() {
    if (!hasCard()) {
        return;
    }
    const QString question =
        QStringLiteral("确定要彻底删除全部 %1 张已删除的名片吗？这些名片和它们的拜访记录将从"
                       "数据文件中删除，不能恢复。")
            .arg(deletedList->recordCount());
    if (!Messages::confirm(this, question, QStringLiteral("彻底删除"), false)) {
        return;
    }
    runCommand(this, [this] {
        waitForStore(this, m_store, [this] { return m_store.purgeDeletedCards(); });
        myRef();
    });
}
