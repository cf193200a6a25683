#pragma once

#include "carddialog.h"

#include <QList>
#include <QPointer>

class BannerPane;
class GbkLineEdit;
class QGroupBox;
class TfrmMRX;

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
    // One column of D_B and the control that shows it: an edit box or a drop-down.
    struct CardColumn {
        QString column;
        QWidget* control;
    };

    void FormCreate();
    void FormShow();
    void myNew();
    void myLoad();

    bool isNewMode() const { return theID == QLatin1String("0"); }
    QStringList cardValues() const; // the 24 values as shown, in the order of m_card
    void saveNewCard(const QString& today, const QStringList& values);
    void saveChangedCard(const QStringList& values);
    bool liveDuplicateExists(const QStringList& values);
    bool editedCardIsLive();
    void refuse(const QString& message);

    // A place in the grid of a group: row and column from 0, spanning one or more columns.
    struct GridCell {
        int row;
        int column;
        int span = 1;
    };
    GbkLineEdit* placeEdit(QGroupBox* group, const char* name, const char* label, GridCell cell,
                           int maxBytes, const char* column);
    LookupCombo* placeLookup(QGroupBox* group, const char* name, const char* label, GridCell cell,
                             const char* column);
    void placeCardControl(QWidget* control, const char* name, const char* label, GridCell cell,
                          const char* column);

    Query* ADOQuery1; // reads: defaults, the card, the duplicate check
    Query* ADOQuery2; // the insert or the update
    BannerPane* WebBrowser1;
    QGroupBox* GroupBox1; // 基本信息
    QGroupBox* GroupBox2; // 工作信息
    QGroupBox* GroupBox3; // 家庭信息
    QPushButton* Button1; // 设置默认项
    QPushButton* BitBtn1; // 保存
    QPushButton* BitBtn2; // 退出
    GbkLineEdit *EditB1, *EditB2, *EditB3, *EditB4, *EditB5, *EditB6, *EditB7, *EditB8;
    GbkLineEdit *EditD1, *EditD2, *EditD3, *EditD4, *EditD5, *EditD6, *EditD7, *EditD8, *EditD9;
    GbkLineEdit *EditF1, *EditF2, *EditF3, *EditF4;

    QList<CardColumn> m_card;    // the 24 card columns in the order of the statements
    QList<GbkLineEdit*> m_edits; // the 21 edit boxes
    bool m_shown = false;
};
