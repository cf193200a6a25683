#include "ui/card/carddialog.h"

#include "app/datamodule.h"
#include "db/defaults.h"
#include "db/query.h"
#include "db/writelock.h"
#include "ui/common/lookupcombo.h"
#include "ui/common/widgets.h"

#include <QKeyEvent>
#include <QPushButton>

CardDialog::CardDialog(QWidget* owner, const QString& name, int outerWidth, int outerHeight)
    : ModalWindow(owner, name, outerWidth, outerHeight) {}

QPushButton* CardDialog::placeSaveButton(QWidget* parent, int left, int top) {
    QPushButton* save = placeButton(parent, QStringLiteral("BitBtn1"), QStringLiteral("保存"), left,
                                    top, QStringLiteral(":/icons/save.svg"));
    setSaveButton(save);
    return save;
}

void CardDialog::bindLookups() {
    frmDM->DBComType(DBLookupComboBox1);
    frmDM->DBComSex(DBLookupComboBox2);
    frmDM->DBComP(DBLookupComboBox3);
}

void CardDialog::selectStoredDefaults(Query* query) {
    openQuery(query, defaultsStatement());
    if (query->recordCount() != 1) {
        return;
    }
    DBLookupComboBox1->setKeyValue(query->fieldByName(QStringLiteral("theType")));
    DBLookupComboBox2->setKeyValue(query->fieldByName(QStringLiteral("theSex")));
    DBLookupComboBox3->setKeyValue(query->fieldByName(QStringLiteral("theP")));
}

void CardDialog::openQuery(Query* query, const QString& statement) {
    query->openOn(frmDM->ADOConnection1, statement);
}

void CardDialog::execCommand(Query* query, const QString& statement) {
    query->executeOn(frmDM->ADOConnection1, statement);
}

void CardDialog::execCommands(Query* query, const QStringList& statements) {
    WriteLock lock(frmDM->ADOConnection1);
    for (const QString& statement : statements) {
        execCommand(query, statement);
    }
    lock.commit();
}
