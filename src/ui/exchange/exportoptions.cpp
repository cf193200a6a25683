#include "ui/exchange/exportoptions.h"

#include "db/cardfields.h"
#include "db/connectionsettings.h"
#include "ui/common/messages.h"
#include "ui/common/widgets.h"
#include "ui/exchange/cardexport.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QSettings>

namespace {
// The fields last exported, kept for the next export; the user's settings, not the cards'.
QSettings exportChoice() {
    return QSettings(userConfigFolder() + QStringLiteral("export.conf"), QSettings::IniFormat);
}
const QString FieldsKey = QStringLiteral("fields");
} // namespace

TfrmE::TfrmE(QWidget* owner) : ModalWindow(owner, QStringLiteral("frmE"), 560, 260) {
    setWindowTitle(QStringLiteral("EXCEL导出选项"));

    GroupBox1 = placeGroup(this, QStringLiteral("请选择要导出的名片项目"), 16, 8, 513, 153);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    // The entry date, then the card's fields: a box's caption is the list column it exports.
    QList<std::pair<QString, bool>> boxes{{EntryDateCaption, false}};
    for (const CardField& field : cardFields()) {
        boxes.append({field.caption, field.exportedByDefault});
    }
    // The fields of the last export ticked again; the first time, the usual ones.
    const QSettings kept = exportChoice();
    const bool anyKept = kept.contains(FieldsKey);
    const QStringList keptFields = kept.value(FieldsKey).toStringList();
    int number = 0;
    for (const auto& [caption, ticked] : boxes) {
        auto* box = new QCheckBox(caption, GroupBox1);
        box->setObjectName(QStringLiteral("CheckBox%1").arg(number + 1));
        box->setGeometry(16 + 100 * (number % 5), 24 + 24 * (number / 5), 80, 17);
        box->setChecked(anyKept ? keptFields.contains(caption) : ticked);
        CheckBoxes.append(box);
        ++number;
    }

    selectAllButton =
        placeButton(this, QStringLiteral("SelectAll"), QStringLiteral("全选"), 16, 176);
    selectNoneButton =
        placeButton(this, QStringLiteral("SelectNone"), QStringLiteral("全不选"), 99, 176);
    exportButton = placeButton(this, QStringLiteral("BitBtn2"), QStringLiteral("导出"), 335, 176,
                               QStringLiteral(":/icons/excel.svg"));
    exitButton = placeExitButton(this, QStringLiteral("BitBtn3"), 439, 176);
    connect(selectAllButton, &QPushButton::clicked, this, [this] { tickAll(true); });
    connect(selectNoneButton, &QPushButton::clicked, this, [this] { tickAll(false); });
    connect(exportButton, &QPushButton::clicked, this, &TfrmE::exportList);
    keepControlsShown();
}

void TfrmE::tickAll(bool ticked) {
    for (QCheckBox* box : std::as_const(CheckBoxes)) {
        box->setChecked(ticked);
    }
}

void TfrmE::exportList() {
    runCommand(this, [this] {
        QStringList fields;
        for (QCheckBox* box : CheckBoxes) {
            if (box->isChecked()) {
                fields << box->text();
            }
        }
        QSettings kept = exportChoice();
        kept.setValue(FieldsKey, fields);
        kept.sync();
        exportCardList(this, cardList, fields);
    });
}
