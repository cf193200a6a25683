#pragma once

#include "db/cardstore.h"

#include <QWidget>
#include <atomic>
#include <mutex>

class BannerPane;
class CardStore;
class DataGrid;
class GbkLineEdit;
class LookupCombo;
class ListLoader;
class LookupLists;
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
class QTimer;

// The main window: the button bar with the banner, the filter bar, the card list and the
// status bar with the two counters. It works on the card store and the lookup lists that
// start-up hands it, and hands them on to the windows it opens.
class TfrmMain : public QWidget {
    Q_OBJECT
public:
    // When the start-up reads the first list: before the window is shown, or once it has been
    // painted (the program itself, so that a large list is read with the window on screen).
    enum class FirstList { BeforeShowing, AfterFirstPaint };
    // cardFile: the local card file, which 连接服务器 copies to and from a server.
    TfrmMain(CardStore& store, LookupLists& lookups, const QString& cardFile,
             FirstList firstList = FirstList::BeforeShowing);

    // Reads the card list and the visit count again under the filter last set with "查询":
    // the newest cards show at once, the cursor on the first; a longer list is counted and
    // read on in the background, its rows added under those shown as they come. Throws
    // EngineError; the command that called it shows the error.
    void myRef();

    // The newest cards, read and shown at once; the rest of the list follows.
    static constexpr int FirstScreenRows = 200;

    // The filter last applied.
    const FilterInput& filter() const { return m_filter; }

    // Whether the start-up has read the first list (or failed to).
    bool startupDone() const { return m_startupDone; }

    // A register on a server: its name goes into the title and the status bar, and 设置密码
    // (the card file's own) is not offered.
    void showRegisterName(const QString& name);
    // Whether the register is away: the last list stays, and every command that writes is off
    // until it is back.
    bool readOnly() const { return m_readOnly; }

    // What the store committed (told from any thread) or another program committed: the list
    // takes in the cards changed, keeping its filter, its order, the current card and the
    // scroll position, and its counters follow. Everything is read again only when what
    // changed is not known or is more than MergeLimit cards. While a window waits for work
    // on another thread, the changes wait too.
    void noteStoreChanges(const StoreChanges& changes);
    static constexpr size_t MergeLimit = 2000;
    // How often the card file is asked whether another program changed it.
    static constexpr int FileWatchMs = 300;

    Query* cardList; // the live cards under the filter, as the grid shows them
    DataGrid* DBGrid1;

public slots:
    void applyFilter();       // 查询
    void previousCard();      // 上一条
    void nextCard();          // 下一条
    void newCard();           // 新增名片
    void changeCard();        // 修改名片
    void deleteCard();        // 删除名片 (a soft delete)
    void showVisits();        // 拜访记录
    void importCards();       // 导入名片
    void showExportOptions(); // Excel
    void showAbout();         // 关于我们
    void openPublisherLink(); // the link in the status bar
    void focusList();         // F6, Ctrl+L: the list takes the keys
    void findCards();         // 查找
    void showDeletedCards();  // 已删除名片
    void exportVCard();       // 导出vCard: the list as a vCard file
    void connectServer();     // 连接服务器: where the cards live
    void setPassword();       // 设置密码: the card file's own password
    void importVCards();      // 导入vCard: the import window, opening a vCard file
    void showDefaults();      // 设置默认项
    void closeWindow();       // 退出
    // Puts the list's cursor on the live card with key id, showing every live card first
    // when the filter hides it.
    void locateCard(const QString& id);
    // The register as its change listener hears it. Changed elsewhere (or back after a loss):
    // the list takes in the changes (noteStoreChanges), and the commands that write are on.
    // Lost: one box with the reason, and the list stays, read-only.
    void registerChanged(const StoreChanges& changes);
    void registerLost(const QString& message);
    // Reads the list again under the filter last applied, keeping the user's place: the
    // newest cards show at once; the sort, the current card and the scroll position come
    // back as soon as the rows that hold them are in (at once when the card is among the
    // newest and the list is unsorted, otherwise once the whole list is read, unless the user
    // has moved in the list meanwhile). Throws EngineError.
    void refreshKeepingPlace();

protected:
    void closeEvent(QCloseEvent* event) override; // asks before the program ends
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void startUp();
    void startUpFromList(); // the start-up from the first list on
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
    // Where the list holds the card, among the rows read so far; -1 when it does not.
    int positionOfCard(const QString& id) const;
    QString currentCardField(const QString& name) const;
    qint64 currentCardId() const;
    void showCardCount(qint64 cards);
    void showVisitCount(qint64 visits);
    void setReadOnly(bool readOnly);
    void showRegisterState(); // in the title and the status bar
    void applyPendingChanges();
    void applyChanges(const StoreChanges& changes);
    void watchCardFile();

    CardStore& m_store;
    LookupLists& m_lookups;
    ListLoader* m_listLoader;
    QString m_cardFile;
    FilterInput m_filter;
    FirstList m_firstList;
    bool m_startupQueued = false;
    bool m_startupDone = false;
    bool m_listRead = false; // the start-up's first list and lookups have been read
    bool m_readOnly = false;
    QString m_registerName;
    std::mutex m_changesLock; // guards m_pendingChanges, told from the store's threads
    StoreChanges m_pendingChanges;
    qint64 m_cards = 0; // the counters as shown
    qint64 m_visits = 0;
    QTimer* m_fileWatch;
    std::atomic<bool> m_fileWatchStale{false}; // this program wrote on another connection

    QCheckBox* byDate;
    QCheckBox* byType;
    QCheckBox* byName;
    QCheckBox* bySex;
    QCheckBox* byProvince;
    GbkLineEdit* dateFrom;
    GbkLineEdit* dateTo;
    GbkLineEdit* nameBox;
    LookupCombo* typeBox;
    LookupCombo* sexBox;
    LookupCombo* provinceBox;
    QPushButton* queryButton;
    QPushButton* excelButton;
    QPushButton* exitButton;
    QPushButton* connectButton;
    BannerPane* WebBrowser1;
    QLabel* cardCount;
    QLabel* visitCount;
    QLabel* registerState;
    QLabel* publisherLink;
    QMenu* PopupMenu1;
};
