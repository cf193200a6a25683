#pragma once

#include <QWidget>

class BannerPane;
class DataGrid;
class GbkLineEdit;
class LookupCombo;
class ModalWindow;
class Query;
class QCheckBox;
class QLabel;
class QLineEdit;
class QAction;
class QKeySequence;
class QMenu;
class QVBoxLayout;
class QPushButton;
class QToolButton;

// The main window: the button bar with the banner, the filter bar, the card list and the
// status bar with the two counters.
class TfrmMain : public QWidget {
    Q_OBJECT
public:
    // When the start-up reads the first list: before the window is shown, or once it has been
    // painted (the program itself, so that a large list is read with the window on screen).
    enum class FirstList { BeforeShowing, AfterFirstPaint };
    explicit TfrmMain(QWidget* parent = nullptr, FirstList firstList = FirstList::BeforeShowing);

    // Re-runs the card list and the visit count under the filter last set with "查询".
    // Throws EngineError; the command that called it shows the error.
    void myRef();

    // The filter last applied.
    const QString& filterClause() const { return m_filterClause; }

    // Whether the start-up has read the first list (or failed to).
    bool startupDone() const { return m_startupDone; }

    Query* ADOQuery1; // the card list
    Query* ADOQuery2; // the soft delete
    Query* ADOQuery3; // the visit count

    DataGrid* DBGrid1;

public slots:
    void BitBtn1Click();      // 查询: apply the filter bar
    void SpeedButton4Click(); // previous card
    void SpeedButton5Click(); // next card
    void SpeedButton1Click(); // new card
    void SpeedButton2Click(); // change card
    void SpeedButton3Click(); // soft delete
    void SpeedButton8Click(); // visit records
    void I1Click();           // import cards
    void BitBtn2Click();      // Excel export options
    void SpeedButton6Click(); // about us
    void Label4Click();       // the publisher's link
    void focusList();         // F6, Ctrl+L: the list takes the keys
    void F1Click();           // 查找
    void R1Click();           // the deleted cards
    void V1Click();           // 导出vCard: the list as a vCard file
    void connectClick();      // 连接服务器: where the cards live
    void P1Click();           // 设置密码: the card file's own password
    void importVCards();      // 导入vCard: the import window, opening a vCard file
    void showDefaults();      // 设置默认项
    void closeWindow();       // 退出
    // Puts the list's cursor on the live card with key id, showing every live card first
    // when the filter hides it.
    void locateCard(const QString& id);

protected:
    void closeEvent(QCloseEvent* event) override; // FormCloseQuery
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void FormCreate();
    void FormCreateFromList(); // the start-up from the first list on
    void buildButtonBar(QWidget* bar);
    void buildFilterBar(QWidget* bar);
    void buildStatusBar(QWidget* bar);
    void buildCommands();
    QAction* addCommand(const QString& name, const QString& caption,
                        const QList<QKeySequence>& keys, void (TfrmMain::*handler)());
    QAction* command(const char* name) const;
    void buildMenuBar(QVBoxLayout* layout);
    void buildPopupMenu();
    void keepControlsShown(QWidget* statusBar);
    QToolButton* addBarButton(QWidget* bar, const QString& name, const QString& caption,
                              const QString& icon, int left);
    // Shows a child window modally; the list follows the changes it reports.
    void showChild(ModalWindow* window);
    bool hasCard() const;
    int positionOfCard(const QString& id) const; // -1 when the list does not hold it
    QString currentCardField(const QString& name) const;

    QString m_filterClause;
    FirstList m_firstList;
    bool m_startupQueued = false;
    bool m_startupDone = false;

    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;
    QCheckBox* CheckBox3;
    QCheckBox* CheckBox4;
    QCheckBox* CheckBox5;
    GbkLineEdit* Edit1;
    GbkLineEdit* Edit2;
    GbkLineEdit* Edit3;
    LookupCombo* DBLookupComboBox1;
    LookupCombo* DBLookupComboBox2;
    LookupCombo* DBLookupComboBox3;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QPushButton* BitBtn3;
    QPushButton* BitBtnConnect;
    BannerPane* WebBrowser1;
    QLabel* Label1;
    QLabel* Label5;
    QLabel* Label4;
    QMenu* PopupMenu1;
};

extern TfrmMain* frmMain;
