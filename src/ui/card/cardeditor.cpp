#include "ui/card/cardeditor.h"

#include "app/datamodule.h"
#include "db/cards.h"
#include "db/clock.h"
#include "db/query.h"
#include "db/writelock.h"
#include "ui/card/defaultswindow.h"
#include "ui/common/bannerpane.h"
#include "ui/common/gbklineedit.h"
#include "ui/common/lookupcombo.h"
#include "ui/common/messages.h"
#include "ui/common/widgets.h"

#include <QGroupBox>
#include <QPushButton>

namespace {
// The grid inside a group: four columns 200 pixels apart, rows 24 pixels apart; a control
// spans one, two or four columns.
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

// Where a field's control stands in the grid of its group: row and column from 0, spanning
// one or more columns.
struct EditorPlace {
    const char* column;
    const char* name; // the control's name
    int row;
    int gridColumn;
    int span = 1;
};

namespace {

const EditorPlace BasicPlaces[] = {
    {"theType", "DBLookupComboBox1", 0, 0},
    {"BName", "EditB1", 1, 0},
    {"BSex", "DBLookupComboBox2", 1, 1},
    {"BPho", "EditB2", 1, 2},
    {"BMob", "EditB3", 1, 3},
    {"BMail", "EditB4", 2, 0},
    {"BQQ", "EditB5", 2, 1},
    {"BMSN", "EditB6", 2, 2},
    {"BWW", "EditB7", 2, 3},
    {"BDes", "EditB8", 3, 0, 4},
};
const EditorPlace WorkPlaces[] = {
    {"DArea", "DBLookupComboBox3", 0, 0},
    {"DCity", "EditD1", 0, 1},
    {"DName", "EditD2", 0, 2, 2},
    {"DPart", "EditD3", 1, 0},
    {"DJob", "EditD4", 1, 1},
    {"DAdd", "EditD5", 1, 2, 2},
    {"DPho", "EditD6", 2, 0},
    {"DFax", "EditD7", 2, 1},
    {"DPos", "EditD8", 2, 2},
    {"DWWW", "EditD9", 2, 3},
};
const EditorPlace FamilyPlaces[] = {
    {"FAdd", "EditF1", 0, 0, 2},
    {"FPho", "EditF2", 0, 2},
    {"FPro", "EditF3", 0, 3},
    {"FDes", "EditF4", 1, 0, 4},
};
} // namespace

TfrmD_D::TfrmD_D(QWidget* owner) : CardDialog(owner, QStringLiteral("frmD_D"), 860, 540) {
    ADOQuery1 = new Query(this);
    ADOQuery2 = new Query(this);

    WebBrowser1 = BannerPane::acrossTop(this); // only the banner follows the window's width

    GroupBox1 = placeGroup(this, QStringLiteral("基本信息"), 16, 128, 809, 129);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    placeFields(GroupBox1, BasicPlaces);
    Button1 = new QPushButton(QStringLiteral("设置默认项"), GroupBox1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(gridLeft(1), gridTop(0), gridWidth(1), 22);
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &TfrmD_D::Button1Click);

    GroupBox2 = placeGroup(this, QStringLiteral("工作信息"), 16, 264, 809, 101);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    placeFields(GroupBox2, WorkPlaces);

    GroupBox3 = placeGroup(this, QStringLiteral("家庭信息"), 16, 372, 809, 77);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    placeFields(GroupBox3, FamilyPlaces);

    DBLookupComboBox1 = fieldControl<LookupCombo>("theType");
    DBLookupComboBox2 = fieldControl<LookupCombo>("BSex");
    DBLookupComboBox3 = fieldControl<LookupCombo>("DArea");
    EditB1 = fieldControl<GbkLineEdit>("BName");

    BitBtn1 = placeSaveButton(this, 620, 460);
    BitBtn2 = placeExitButton(this, QStringLiteral("BitBtn2"), 732, 460);
    connect(BitBtn1, &QPushButton::clicked, this, &TfrmD_D::BitBtn1Click);

    keepControlsShown(WebBrowser1);
    FormCreate();
}

void TfrmD_D::placeFields(QGroupBox* group, std::span<const EditorPlace> places) {
    for (const EditorPlace& place : places) {
        const CardField& field = cardField(QString::fromLatin1(place.column));
        QWidget* control = nullptr;
        if (field.isLookup()) {
            control = new LookupCombo(group);
        } else {
            auto* edit = new GbkLineEdit(group);
            edit->setMaxBytes(field.maxBytes);
            control = edit;
        }
        control->setObjectName(QString::fromLatin1(place.name));
        control->setGeometry(gridLeft(place.gridColumn), gridTop(place.row), gridWidth(place.span),
                             22);
        placeBuddyLabel(group, field.editorLabel, labelLeft(place.gridColumn), control);
        m_card << CardControl{field.column, control};
    }
}

template <typename Control> Control* TfrmD_D::fieldControl(const char* column) const {
    for (const CardControl& card : m_card) {
        if (card.column == QLatin1String(column)) {
            return static_cast<Control*>(card.control);
        }
    }
    Q_UNREACHABLE();
}

void TfrmD_D::FormCreate() {
    WebBrowser1->navigate(BannerPane::Page::Child);
    m_openFailed = !runCommand(this, [this] { bindLookups(); });
}

void TfrmD_D::showEvent(QShowEvent* event) {
    CardDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TfrmD_D::FormShow() {
    const auto prepareCard = [this] {
        if (isNewMode()) {
            myNew();
        } else {
            myLoad();
        }
    };
    if (!m_openFailed) {
        runCommand(this, prepareCard);
        return;
    }
    // Opening the window is one action, and its failure has been shown once already: what
    // can still be read is shown, a further failure of the same opening is not.
    try {
        prepareCard();
    } catch (const EngineError&) {
    }
}

void TfrmD_D::myNew() {
    selectStoredDefaults(ADOQuery1);
    for (const CardControl& card : std::as_const(m_card)) {
        if (auto* edit = qobject_cast<GbkLineEdit*>(card.control)) {
            edit->clear();
        }
    }
    EditB1->setFocus();
}

void TfrmD_D::myLoad() {
    openQuery(ADOQuery1, cardStatement(theID));
    if (ADOQuery1->recordCount() != 1) {
        myNew();
        return;
    }
    for (const CardControl& card : std::as_const(m_card)) {
        const QString value = ADOQuery1->fieldByName(card.column);
        if (auto* combo = qobject_cast<LookupCombo*>(card.control)) {
            combo->setStoredValue(value); // kept even when the list no longer holds it
        } else {
            auto* edit = static_cast<GbkLineEdit*>(card.control);
            edit->setText(value);
            edit->setCursorPosition(0); // a long value shows its start
        }
    }
}

CardValues TfrmD_D::cardValues() const {
    CardValues values;
    for (const CardControl& card : m_card) {
        if (auto* combo = qobject_cast<LookupCombo*>(card.control)) {
            values.insert(card.column, combo->shownText());
        } else {
            values.insert(card.column, static_cast<GbkLineEdit*>(card.control)->text());
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
        const CardValues values = cardValues();
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

bool TfrmD_D::liveDuplicateExists(const CardValues& values) {
    openQuery(ADOQuery1, duplicateCheckStatement(values));
    return ADOQuery1->recordCount() > 0;
}

// The check and the insert hold the write lock together: another program cannot store the
// same card in between.
bool TfrmD_D::insertUnlessDuplicate(const QString& today, const CardValues& values) {
    WriteLock lock(frmDM->ADOConnection1);
    if (liveDuplicateExists(values)) {
        return false;
    }
    execCommand(ADOQuery2, cardInsertStatement(today, values));
    lock.commit();
    return true;
}

void TfrmD_D::saveNewCard(const QString& today, const CardValues& values) {
    if (!insertUnlessDuplicate(today, values)) {
        refuse(duplicateCardMessage(values));
        return;
    }
    Messages::info(this, QStringLiteral("恭喜！恭喜！名片 新增 保存成功！"));
    emit cardsChanged();
    myNew();
}

// The card may have gone since it was loaded (or was never found, and a blank card stands in
// its place), or may have been deleted: an update would then change no live card, so the
// change is refused rather than reported as saved.
bool TfrmD_D::editedCardIsLive() {
    openQuery(ADOQuery1, liveCardStatement(theID));
    return ADOQuery1->recordCount() == 1;
}

bool TfrmD_D::updateIfLive(const CardValues& values) {
    WriteLock lock(frmDM->ADOConnection1);
    if (!editedCardIsLive()) {
        return false;
    }
    execCommand(ADOQuery2, cardUpdateStatement(theID, values));
    lock.commit();
    return true;
}

void TfrmD_D::saveChangedCard(const CardValues& values) {
    if (!updateIfLive(values)) {
        refuse(QStringLiteral("该名片已不存在或已被删除，修改没有保存！"));
        return;
    }
    Messages::info(this, QStringLiteral("恭喜！恭喜！名片 修改 保存成功！"));
    emit cardsChanged();
    close();
}

void TfrmD_D::Button1Click() {
    frmMRX = new TfrmMRX(this);
    frmMRX->exec();
    frmMRX->deleteLater();
}
