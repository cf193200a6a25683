#include "ui/card/cardeditor.h"

#include "db/cardstore.h"
#include "db/clock.h"
#include "ui/card/defaultswindow.h"
#include "ui/common/bannerpane.h"
#include "ui/common/gbklineedit.h"
#include "ui/common/lookupcombo.h"
#include "ui/common/messages.h"
#include "ui/common/storewait.h"
#include "ui/common/widgets.h"

#include <QGroupBox>
#include <QPushButton>
#include <array>

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

TfrmD_D::TfrmD_D(QWidget* owner, CardStore& store, LookupLists& lookups, qint64 cardId)
    : CardDialog(owner, store, lookups, QStringLiteral("frmD_D"), 860, 540), m_cardId(cardId) {
    setWindowTitle(isNewMode() ? QStringLiteral("新增 名片") : QStringLiteral("修改 名片"));
    WebBrowser1 = BannerPane::acrossTop(this); // only the banner follows the window's width

    GroupBox1 = placeGroup(this, QStringLiteral("基本信息"), 16, 128, 809, 129);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox2 = placeGroup(this, QStringLiteral("工作信息"), 16, 264, 809, 101);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox3 = placeGroup(this, QStringLiteral("家庭信息"), 16, 372, 809, 77);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    placeFields();

    defaultsButton = new QPushButton(QStringLiteral("设置默认项"), GroupBox1);
    defaultsButton->setObjectName(QStringLiteral("Button1"));
    defaultsButton->setGeometry(gridLeft(1), gridTop(0), gridWidth(1), 22);
    defaultsButton->setAutoDefault(false);
    connect(defaultsButton, &QPushButton::clicked, this, &TfrmD_D::showDefaults);

    typeBox = fieldControl<LookupCombo>("theType");
    sexBox = fieldControl<LookupCombo>("BSex");
    provinceBox = fieldControl<LookupCombo>("DArea");
    nameBox = fieldControl<GbkLineEdit>("BName");

    saveButton = placeSaveButton(this, 620, 460);
    exitButton = placeExitButton(this, QStringLiteral("BitBtn2"), 732, 460);
    connect(saveButton, &QPushButton::clicked, this, &TfrmD_D::save);

    keepControlsShown(WebBrowser1);
    WebBrowser1->navigate(BannerPane::Page::Child);
    m_openFailed = !runCommand(this, [this] { bindLookups(); });
    askToSaveOnClose(
        QStringLiteral("名片已修改，要保存吗？"), [this] { return shownInput(); },
        [this] { return saveCard(); });
}

// Every field of the table gets its control where the table places it: a drop-down for a
// lookup field, otherwise an edit box taking the field's bytes.
void TfrmD_D::placeFields() {
    const std::array<QGroupBox*, 3> groups{GroupBox1, GroupBox2, GroupBox3};
    for (const CardField& field : cardFields()) {
        const EditorPlace& place = field.editorPlace;
        QGroupBox* group = groups.at(size_t(place.group));
        QWidget* control = nullptr;
        if (field.isLookup()) {
            control = new LookupCombo(group);
        } else {
            auto* edit = new GbkLineEdit(group);
            edit->setMaxBytes(field.maxBytes);
            control = edit;
        }
        control->setObjectName(place.controlName);
        control->setGeometry(gridLeft(place.column), gridTop(place.row), gridWidth(place.span), 22);
        placeBuddyLabel(group, field.editorLabel, labelLeft(place.column), control);
        m_card.append({field.column, control});
    }
}

template <typename Control> Control* TfrmD_D::fieldControl(const char* column) const {
    for (const auto& [name, control] : m_card) {
        if (name == QLatin1String(column)) {
            return static_cast<Control*>(control);
        }
    }
    Q_UNREACHABLE();
}

void TfrmD_D::showEvent(QShowEvent* event) {
    CardDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        prepareCard();
    }
}

void TfrmD_D::prepareCard() {
    const auto prepare = [this] {
        if (isNewMode()) {
            blankCard();
        } else {
            loadCard();
        }
    };
    if (!m_openFailed) {
        runCommand(this, prepare);
    } else {
        // Opening the window is one action, and its failure has been shown once already: what
        // can still be read is shown, a further failure of the same opening is not.
        try {
            prepare();
        } catch (const EngineError&) {
        }
    }
    markInputSaved();
}

void TfrmD_D::blankCard() {
    selectStoredDefaults();
    for (const auto& [column, control] : std::as_const(m_card)) {
        if (auto* edit = qobject_cast<GbkLineEdit*>(control)) {
            edit->clear();
        }
    }
    nameBox->setFocus();
}

void TfrmD_D::loadCard() {
    m_opened = waitForStore(this, m_store, [this] { return m_store.card(m_cardId); });
    if (!m_opened) {
        blankCard();
        return;
    }
    for (const auto& [column, control] : std::as_const(m_card)) {
        const QString value = m_opened->values.value(column);
        if (auto* combo = qobject_cast<LookupCombo*>(control)) {
            combo->setStoredValue(value); // kept even when the list no longer holds it
        } else {
            auto* edit = static_cast<GbkLineEdit*>(control);
            edit->setText(value);
            edit->setCursorPosition(0); // a long value shows its start
        }
    }
}

QStringList TfrmD_D::shownInput() const {
    QStringList input;
    for (const auto& [column, control] : m_card) {
        if (auto* combo = qobject_cast<LookupCombo*>(control)) {
            input << combo->shownText();
        } else {
            input << static_cast<GbkLineEdit*>(control)->text();
        }
    }
    return input;
}

CardValues TfrmD_D::cardValues() const {
    CardValues values;
    for (const auto& [column, control] : m_card) {
        if (auto* combo = qobject_cast<LookupCombo*>(control)) {
            values.insert(column, combo->shownText());
        } else {
            values.insert(column, static_cast<GbkLineEdit*>(control)->text());
        }
    }
    return values;
}

void TfrmD_D::save() {
    if (saveCard() && !isNewMode()) {
        close();
    }
}

bool TfrmD_D::saveCard() {
    bool saved = false;
    runCommand(this, [this, &saved] {
        if (nameBox->text().isEmpty()) {
            refuse(QStringLiteral("姓名 不能为空！"));
            return;
        }
        saved = isNewMode() ? saveNewCard(cardValues()) : saveChangedCard(cardValues());
    });
    return saved;
}

void TfrmD_D::refuse(const QString& message) {
    Messages::info(this, message);
    nameBox->setFocus();
}

bool TfrmD_D::saveNewCard(const CardValues& values) {
    const QString today = dateText(Clock::today());
    const CardStore::Inserted inserted =
        waitForStore(this, m_store, [&] { return m_store.insertCard(values, today); });
    if (inserted.outcome == WriteOutcome::Duplicate) {
        refuse(duplicateCardMessage(values));
        return false;
    }
    Messages::info(this, QStringLiteral("恭喜！恭喜！名片 新增 保存成功！"));
    blankCard();
    markInputSaved();
    return true;
}

// The card may have gone since it was loaded (or was never found, and a blank card stands in
// its place), or may have been deleted: the change is then refused rather than reported as
// saved. A card saved by someone else meanwhile is not overwritten, and the boxes keep what
// the user typed. Nor may a change make the card the same as another live card.
bool TfrmD_D::saveChangedCard(const CardValues& values) {
    const WriteOutcome outcome =
        m_opened
            ? waitForStore(this, m_store, [&] { return m_store.updateCard(*m_opened, values); })
            : WriteOutcome::Gone;
    switch (outcome) {
    case WriteOutcome::Gone:
        refuse(QStringLiteral("该名片已不存在或已被删除，修改没有保存！"));
        return false;
    case WriteOutcome::Changed:
        refuse(QStringLiteral("这张名片在您打开之后已被其他用户（或其他程序）修改，"
                              "本次修改没有保存。请关闭本窗口，重新打开这张名片，"
                              "看过别人的修改后再改。"));
        return false;
    case WriteOutcome::Duplicate:
        refuse(duplicateCardMessage(values));
        return false;
    case WriteOutcome::Done:
        break;
    }
    Messages::info(this, QStringLiteral("恭喜！恭喜！名片 修改 保存成功！"));
    markInputSaved();
    return true;
}

void TfrmD_D::showDefaults() {
    defaultsWindow = new TfrmMRX(this, m_store, m_lookups);
    defaultsWindow->exec();
    defaultsWindow->deleteLater();
}
