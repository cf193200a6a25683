#include "ui/card/defaultswindow.h"

#include "db/cardstore.h"
#include "ui/common/lookupcombo.h"
#include "ui/common/messages.h"
#include "ui/common/storewait.h"
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

TfrmMRX::TfrmMRX(QWidget* owner, CardStore& store, LookupLists& lookups)
    : CardDialog(owner, store, lookups, QStringLiteral("frmMRX"), 300, 230) {
    setWindowTitle(QStringLiteral("设置默认项"));

    GroupBox1 = placeGroup(this, QStringLiteral("默认选项设置"), 16, 8, 249, 129);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    typeBox = placeLookup(GroupBox1, QStringLiteral("DBLookupComboBox1"),
                          QStringLiteral("分        类："), 20);
    sexBox = placeLookup(GroupBox1, QStringLiteral("DBLookupComboBox2"),
                         QStringLiteral("性        别："), 52);
    provinceBox = placeLookup(GroupBox1, QStringLiteral("DBLookupComboBox3"),
                              QStringLiteral("省        份："), 84);
    saveButton = placeSaveButton(this, 79, 150);
    exitButton = placeExitButton(this, QStringLiteral("BitBtn2"), 183, 150);
    connect(saveButton, &QPushButton::clicked, this, &TfrmMRX::save);

    keepControlsShown();
    runCommand(this, [this] {
        bindLookups();
        selectStoredDefaults();
    });
    askToSaveOnClose(
        QStringLiteral("默认项已修改，要保存吗？"), [this] { return shownInput(); },
        [this] { return storeDefaults(); });
}

QStringList TfrmMRX::shownInput() const {
    return {typeBox->shownText(), sexBox->shownText(), provinceBox->shownText()};
}

void TfrmMRX::save() {
    if (storeDefaults()) {
        close();
    }
}

bool TfrmMRX::storeDefaults() {
    return runCommand(this, [this] {
        const CardDefaults chosen{typeBox->shownText(), sexBox->shownText(),
                                  provinceBox->shownText()};
        waitForStore(this, m_store, [&] { m_store.storeDefaults(chosen); });
        Messages::info(this, QStringLiteral("默认选项 保存成功！"));
        markInputSaved();
    });
}
