#pragma once

#include "db/cardfields.h"
#include "ui/card/carddialog.h"

#include <QList>
#include <QPointer>
#include <span>

class BannerPane;
class GbkLineEdit;
class QGroupBox;
class TfrmMRX;
struct EditorPlace; // where the control of a card field stands

// The card editor, in new mode (theID "0": one blank card after another, each save inserts
// a card) or edit mode (theID the card's key: the card is loaded, saved back, the window
// closes).
class TfrmD_D : public CardDialog {
    Q_OBJECT
public:
    explicit TfrmD_D(QWidget* owner);

    QString theID;            // set by the caller before the window is shown
    QPointer<TfrmMRX> frmMRX; // the defaults window last opened

public slots:
    void BitBtn1Click(); // 保存
    void Button1Click(); // 设置默认项

protected:
    void showEvent(QShowEvent* event) override;

private:
    // One field of the card and the control that shows it: an edit box or a drop-down.
    struct CardControl {
        QString column;
        QWidget* control;
    };

    void FormCreate();
    void FormShow();
    void myNew();
    void myLoad();

    bool isNewMode() const { return theID == QLatin1String("0"); }
    CardValues cardValues() const; // the values as shown
    void saveNewCard(const QString& today, const CardValues& values);
    bool insertUnlessDuplicate(const QString& today, const CardValues& values);
    bool updateIfLive(const CardValues& values);
    void saveChangedCard(const CardValues& values);
    bool liveDuplicateExists(const CardValues& values);
    bool editedCardIsLive();
    void refuse(const QString& message);

    void placeFields(QGroupBox* group, std::span<const EditorPlace> places);
    template <typename Control> Control* fieldControl(const char* column) const;

    Query* ADOQuery1; // reads: defaults, the card, the duplicate check
    Query* ADOQuery2; // the insert or the update
    BannerPane* WebBrowser1;
    QGroupBox* GroupBox1; // 基本信息
    QGroupBox* GroupBox2; // 工作信息
    QGroupBox* GroupBox3; // 家庭信息
    QPushButton* Button1; // 设置默认项
    QPushButton* BitBtn1; // 保存
    QPushButton* BitBtn2; // 退出
    GbkLineEdit* EditB1;  // 姓名

    QList<CardControl> m_card; // the card's fields in the order their controls were placed
    bool m_shown = false;
    bool m_openFailed = false; // reading the lists failed when the window was created
};
