#pragma once

#include "db/cardstore.h"
#include "ui/card/carddialog.h"

#include <QList>
#include <QPointer>

class BannerPane;
class GbkLineEdit;
class QGroupBox;
class TfrmMRX;

// The card editor, for new cards (one blank card after another, each save inserts a card) or
// for changing the card with a given key (the card is loaded, saved back, the window closes).
// Closing it with the card changed and not saved asks whether to save it.
class TfrmD_D : public CardDialog {
    Q_OBJECT
public:
    static constexpr qint64 NewCards = 0; // the card key that opens the editor for new cards

    TfrmD_D(QWidget* owner, CardStore& store, LookupLists& lookups, qint64 cardId);

    qint64 cardId() const { return m_cardId; }
    QPointer<TfrmMRX> defaultsWindow; // the defaults window last opened

public slots:
    void save();         // 保存
    void showDefaults(); // 设置默认项

protected:
    void showEvent(QShowEvent* event) override;

private:
    void placeFields();
    void prepareCard();
    void blankCard();
    void loadCard();

    bool isNewMode() const { return m_cardId == NewCards; }
    CardValues cardValues() const;  // the values as shown
    QStringList shownInput() const; // the same, in the fields' order
    // Saves the card as shown; false when it was refused or failed (a box said why).
    bool saveCard();
    bool saveNewCard(const CardValues& values);
    bool saveChangedCard(const CardValues& values);
    void refuse(const QString& message);

    template <typename Control> Control* fieldControl(const char* column) const;

    qint64 m_cardId;
    std::optional<StoredCard> m_opened; // the card as loaded, which a save may replace
    BannerPane* WebBrowser1;
    QGroupBox* GroupBox1; // 基本信息
    QGroupBox* GroupBox2; // 工作信息
    QGroupBox* GroupBox3; // 家庭信息
    QPushButton* defaultsButton;
    QPushButton* saveButton;
    QPushButton* exitButton;
    GbkLineEdit* nameBox;

    QList<std::pair<QString, QWidget*>> m_card; // column and control, in the table's order
    bool m_shown = false;
    bool m_openFailed = false; // reading the lists failed when the window was created
};
