#include "ui/card/defaultswindow.h"

#include "db/defaults.h"
#include "db/query.h"
#include "ui/common/lookupcombo.h"
#include "ui/common/messages.h"
#include "ui/common/widgets.h"

#include <QGroupBox>
#include <QPushButton>

namespace {
LookupCombo* placeLookup(QGroupBox* group, const QString& name, const QString& label, int top) {
    auto* combo = new LookupCombo(group);
    combo->setObjectName(name);
    combo->setGeometry(88, top, 145, 22);
    placeBuddyLabel(group, label, 16, combo);
    return combo;
}
} // namespace

TfrmMRX::TfrmMRX(QWidget* owner) : CardDialog(owner, QStringLiteral("frmMRX"), 300, 230) {
    setWindowTitle(QStringLiteral("设置默认项"));
    ADOQuery1 = new Query(this);

    GroupBox1 = placeGroup(this, QStringLiteral("默认选项设置"), 16, 8, 249, 129);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    DBLookupComboBox1 = placeLookup(GroupBox1, QStringLiteral("DBLookupComboBox1"),
                                    QStringLiteral("分        类："), 20);
    DBLookupComboBox2 = placeLookup(GroupBox1, QStringLiteral("DBLookupComboBox2"),
                                    QStringLiteral("性        别："), 52);
    DBLookupComboBox3 = placeLookup(GroupBox1, QStringLiteral("DBLookupComboBox3"),
                                    QStringLiteral("省        份："), 84);
    BitBtn1 = placeSaveButton(this, 79, 150);
    BitBtn2 = placeExitButton(this, QStringLiteral("BitBtn2"), 183, 150);
    connect(BitBtn1, &QPushButton::clicked, this, &TfrmMRX::BitBtn1Click);

    keepControlsShown();
    FormCreate();
}

void TfrmMRX::FormCreate() {
    runCommand(this, [this] {
        bindLookups();
        selectStoredDefaults(ADOQuery1);
    });
}

void TfrmMRX::BitBtn1Click() {
    runCommand(this, [this] {
        execCommands(ADOQuery1, defaultsStoreStatements(DBLookupComboBox1->shownText(),
                                                        DBLookupComboBox2->shownText(),
                                                        DBLookupComboBox3->shownText()));
        Messages::info(this, QStringLiteral("默认选项 保存成功！"));
        close();
    });
}
