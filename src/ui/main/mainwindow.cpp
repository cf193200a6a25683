#include "ui/main/mainwindow.h"

#include "db/cardlistfill.h"
#include "db/cardstore.h"
#include "db/clock.h"
#include "db/pgconnection.h"
#include "db/query.h"
#include "ui/card/cardeditor.h"
#include "ui/card/defaultswindow.h"
#include "ui/common/appinfo.h"
#include "ui/common/backgroundtask.h"
#include "ui/common/bannerpane.h"
#include "ui/common/cardcolumns.h"
#include "ui/common/datagrid.h"
#include "ui/common/gbklineedit.h"
#include "ui/common/lookupcombo.h"
#include "ui/common/lookuplists.h"
#include "ui/common/messages.h"
#include "ui/common/storewait.h"
#include "ui/common/widgets.h"
#include "ui/connection/connectionwindow.h"
#include "ui/deleted/deletedwindow.h"
#include "ui/exchange/exportoptions.h"
#include "ui/exchange/importwindow.h"
#include "ui/exchange/vcardexport.h"
#include "ui/find/findwindow.h"
#include "ui/main/listloader.h"
#include "ui/password/passwordwindow.h"
#include "ui/visits/visitwindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
// The right edge of the controls that stand at fixed places in a bar (outside its layout).
int placedRight(QWidget* bar) {
    int right = 0;
    for (const QWidget* control : bar->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!control->isWindow() && !(bar->layout() && bar->layout()->indexOf(control) >= 0)) {
            right = qMax(right, control->geometry().right() + 1);
        }
    }
    return right;
}

QWidget* band(QWidget* parent, int height) {
    auto* panel = new QWidget(parent);
    if (height > 0) {
        panel->setFixedHeight(height);
    }
    return panel;
}
} // namespace

TfrmMain::TfrmMain(CardStore& store, LookupLists& lookups, const QString& cardFile,
                   FirstList firstList)
    : m_store(store), m_lookups(lookups), m_cardFile(cardFile), m_firstList(firstList) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(AppTitle);
    setFont(windowFont());
    setOuterSize(this, 1024, 632);
    centreOver(this, nullptr);

    cardList = new Query(this);
    m_listLoader = new ListLoader(this, cardList);
    connect(m_listLoader, &ListLoader::cardsCounted, this, &TfrmMain::showCardCount);
    connect(m_listLoader, &ListLoader::visitsCounted, this, &TfrmMain::showVisitCount);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    QWidget* panel1 = band(this, 65);
    QWidget* panel2 = band(this, 96);
    QWidget* panel3 = band(this, 0);
    QWidget* panel4 = band(this, 32);
    panel1->setObjectName(QStringLiteral("Panel1"));
    panel2->setObjectName(QStringLiteral("Panel2"));
    panel3->setObjectName(QStringLiteral("Panel3"));
    panel4->setObjectName(QStringLiteral("Panel4"));
    layout->addWidget(panel1);
    layout->addWidget(panel2);
    layout->addWidget(panel3, 1);
    layout->addWidget(panel4);

    buildButtonBar(panel1);
    buildFilterBar(panel2);
    DBGrid1 = new DataGrid(panel3);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("名片列表"));
    DBGrid1->setQuery(cardList);
    auto* gridLayout = new QVBoxLayout(panel3);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    gridLayout->addWidget(DBGrid1);
    buildStatusBar(panel4);
    buildCommands();
    buildMenuBar(layout);
    buildPopupMenu();
    keepControlsShown(panel4);
    connect(DBGrid1, &QAbstractItemView::doubleClicked, this, &TfrmMain::changeCard);
    layout->activate(); // the bands in their places, for the reading order
    tabInReadingOrder(this);

    connect(&BackgroundTask::notifier(), &BackgroundTaskNotifier::ended, this,
            &TfrmMain::applyPendingChanges);
    m_fileWatch = new QTimer(this);
    connect(m_fileWatch, &QTimer::timeout, this, &TfrmMain::watchCardFile);
    m_fileWatch->start(FileWatchMs);

    startUp();
}

QToolButton* TfrmMain::addBarButton(QWidget* bar, const QString& name, const QString& caption,
                                    const QString& icon, int left) {
    auto* button = new QToolButton(bar);
    button->setObjectName(name);
    button->setText(caption);
    button->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(icon)));
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true); // flat until the mouse is over it
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(left, 2, 60, 60);
    return button;
}

void TfrmMain::buildButtonBar(QWidget* bar) {
    connect(addBarButton(bar, QStringLiteral("SpeedButton4"), QStringLiteral("上一条"),
                         QStringLiteral("previous"), 2),
            &QToolButton::clicked, this, &TfrmMain::previousCard);
    connect(addBarButton(bar, QStringLiteral("SpeedButton5"), QStringLiteral("下一条"),
                         QStringLiteral("next"), 64),
            &QToolButton::clicked, this, &TfrmMain::nextCard);
    connect(addBarButton(bar, QStringLiteral("SpeedButton1"), QStringLiteral("新增名片"),
                         QStringLiteral("new"), 126),
            &QToolButton::clicked, this, &TfrmMain::newCard);
    connect(addBarButton(bar, QStringLiteral("SpeedButton8"), QStringLiteral("拜访记录"),
                         QStringLiteral("visits"), 188),
            &QToolButton::clicked, this, &TfrmMain::showVisits);
    connect(addBarButton(bar, QStringLiteral("SpeedButton7"), QStringLiteral("导入名片"),
                         QStringLiteral("import"), 250),
            &QToolButton::clicked, this, &TfrmMain::importCards);
    connect(addBarButton(bar, QStringLiteral("SpeedButton2"), QStringLiteral("修改名片"),
                         QStringLiteral("edit"), 312),
            &QToolButton::clicked, this, &TfrmMain::changeCard);
    connect(addBarButton(bar, QStringLiteral("SpeedButton3"), QStringLiteral("删除名片"),
                         QStringLiteral("delete"), 374),
            &QToolButton::clicked, this, &TfrmMain::deleteCard);
    connect(addBarButton(bar, QStringLiteral("SpeedButton6"), QStringLiteral("关于我们"),
                         QStringLiteral("about"), 436),
            &QToolButton::clicked, this, &TfrmMain::showAbout);

    // Right-aligned in the bar; on a narrow screen it yields its width to the buttons.
    constexpr int Gap = 2; // between the last bar button and the banner
    const int buttonsRight = placedRight(bar);
    WebBrowser1 = BannerPane::atRightOf(bar, QSize(516, 63), buttonsRight + Gap);
    WebBrowser1->setFocusPolicy(Qt::NoFocus);
    bar->setMinimumWidth(buttonsRight + Gap);
}

void TfrmMain::buildFilterBar(QWidget* bar) {
    QGroupBox* group = placeGroup(bar, QStringLiteral("查询条件"), 16, 4, 665, 85);
    group->setObjectName(QStringLiteral("GroupBox1"));

    auto check = [group](const QString& name, const QString& caption, int left, int top) {
        auto* box = new QCheckBox(caption, group);
        box->setObjectName(name);
        box->move(left, top);
        box->adjustSize();
        return box;
    };
    auto edit = [group](const QString& name, int left, int top, const QString& accessible) {
        auto* box = new GbkLineEdit(group);
        box->setObjectName(name);
        box->setGeometry(left, top, 121, 22);
        box->setAccessibleName(accessible);
        return box;
    };
    auto lookup = [group](const QString& name, int left, int top, const QString& accessible) {
        auto* box = new LookupCombo(group);
        box->setObjectName(name);
        box->setGeometry(left, top, 121, 22);
        box->setAccessibleName(accessible);
        return box;
    };

    // The boxes carry access keys (Alt+letter), and Space ticks or unticks the focused one.
    // With the key in their captions the boxes need more room: the two edit boxes on the left
    // stand a few pixels further right, and the captions of two characters are spaced less.
    constexpr int ValueLeft = 104;
    byDate = check(QStringLiteral("CheckBox1"), QStringLiteral("录入日期(&D)"), 16, 22);
    dateFrom = edit(QStringLiteral("Edit1"), ValueLeft, 20, QStringLiteral("录入日期 从"));
    placeLabel(group, QStringLiteral("至"), 262, 24);
    dateTo = edit(QStringLiteral("Edit2"), 312, 20, QStringLiteral("录入日期 至"));
    byType = check(QStringLiteral("CheckBox2"), QStringLiteral("分    类(&L)"), 448, 22);
    typeBox = lookup(QStringLiteral("DBLookupComboBox1"), 528, 20, QStringLiteral("分类"));
    byName = check(QStringLiteral("CheckBox3"), QStringLiteral("姓    名(&N)"), 16, 54);
    nameBox = edit(QStringLiteral("Edit3"), ValueLeft, 52, QStringLiteral("姓名"));
    bySex = check(QStringLiteral("CheckBox4"), QStringLiteral("性    别(&X)"), 232, 54);
    sexBox = lookup(QStringLiteral("DBLookupComboBox2"), 312, 52, QStringLiteral("性别"));
    byProvince = check(QStringLiteral("CheckBox5"), QStringLiteral("省    份(&P)"), 448, 54);
    provinceBox = lookup(QStringLiteral("DBLookupComboBox3"), 528, 52, QStringLiteral("省份"));

    focusFieldWhenTickedByKey(byDate, dateFrom);
    focusFieldWhenTickedByKey(byType, typeBox);
    focusFieldWhenTickedByKey(byName, nameBox);
    focusFieldWhenTickedByKey(bySex, sexBox);
    focusFieldWhenTickedByKey(byProvince, provinceBox);

    // Touching a filter's value ticks its box; only "查询" applies it.
    connect(dateFrom, &QLineEdit::textChanged, byDate, [this] { byDate->setChecked(true); });
    connect(dateTo, &QLineEdit::textChanged, byDate, [this] { byDate->setChecked(true); });
    connect(typeBox, &LookupCombo::valueChosen, byType, [this] { byType->setChecked(true); });
    connect(nameBox, &QLineEdit::textChanged, byName, [this] { byName->setChecked(true); });
    connect(sexBox, &LookupCombo::valueChosen, bySex, [this] { bySex->setChecked(true); });
    connect(provinceBox, &LookupCombo::valueChosen, byProvince,
            [this] { byProvince->setChecked(true); });

    queryButton = placeButton(bar, QStringLiteral("BitBtn1"), QStringLiteral("查询"), 704, 56,
                              QStringLiteral(":/icons/query.svg"));
    excelButton = placeButton(bar, QStringLiteral("BitBtn2"), QStringLiteral("Excel"), 808, 56,
                              QStringLiteral(":/icons/excel.svg"));
    exitButton = placeButton(bar, QStringLiteral("BitBtn3"), QStringLiteral("退出"), 912, 56);
    exitButton->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    connectButton =
        placeButton(bar, QStringLiteral("BitBtnConnect"), QStringLiteral("连接服务器"), 912, 20);
    for (QPushButton* button : {queryButton, excelButton, exitButton, connectButton}) {
        button->setAutoDefault(true); // Enter presses the focused button
    }
    // On a narrow screen the three buttons close up to the filter frame.
    closeGapsAsBarNarrows(bar, {queryButton, excelButton, exitButton},
                          group->geometry().right() + 1, 8, 16);
    closeGapsAsBarNarrows(bar, {connectButton}, group->geometry().right() + 1 + 2 * (8 + 75), 8,
                          16); // stays above 退出
    connect(queryButton, &QPushButton::clicked, this, &TfrmMain::applyFilter);
    connect(excelButton, &QPushButton::clicked, this, &TfrmMain::showExportOptions);
    connect(exitButton, &QPushButton::clicked, this, &QWidget::close);
    connect(connectButton, &QPushButton::clicked, this, &TfrmMain::connectServer);
}

void TfrmMain::buildStatusBar(QWidget* bar) {
    cardCount = placeLabel(bar, QString(), 16, 8);
    cardCount->setObjectName(QStringLiteral("Label1"));
    cardCount->setMinimumWidth(190);
    visitCount = placeLabel(bar, QString(), 216, 8);
    visitCount->setObjectName(QStringLiteral("Label5"));
    visitCount->setMinimumWidth(190);
    // On a server: which register is open, and whether it is away.
    registerState = placeLabel(bar, QString(), 416, 8);
    registerState->setObjectName(QStringLiteral("RegisterLabel"));
    registerState->setMaximumWidth(460);
    registerState->hide();
    publisherLink = new QLabel(QStringLiteral("软件开发：Orvane软件    "), bar);
    publisherLink->setObjectName(QStringLiteral("Label4"));
    // Ends where a 108-pixel label at 891 ends in the window as laid out, wide enough for
    // its text in the font at hand, and stays at the right edge when the window grows.
    publisherLink->setFixedSize(qMax(108, publisherLink->sizeHint().width()), 14);
    auto* statusLayout = new QHBoxLayout(bar);
    statusLayout->setContentsMargins(0, 9, 1016 - 891 - 108, 9);
    statusLayout->addStretch(1);
    statusLayout->addWidget(publisherLink, 0, Qt::AlignTop);
    publisherLink->setCursor(Qt::PointingHandCursor);
    publisherLink->setStyleSheet(QStringLiteral("color: black;"));
    publisherLink->installEventFilter(this);
}

// Every command of the window is one action, with its keys: the menu bar and the list's
// pop-up menu hold the same actions, so both show the keys, and the keys work in the window
// whether a menu is open or not.
QAction* TfrmMain::addCommand(const QString& name, const QString& caption,
                              const QList<QKeySequence>& keys, void (TfrmMain::*handler)()) {
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    action->setShortcuts(keys);
    connect(action, &QAction::triggered, this, handler);
    addAction(action);
    return action;
}

void TfrmMain::buildCommands() {
    using Keys = QList<QKeySequence>;
    addCommand(QStringLiteral("N1"), QStringLiteral("新增名片 &N"), Keys{Qt::CTRL | Qt::Key_N},
               &TfrmMain::newCard);
    addCommand(QStringLiteral("N2"), QStringLiteral("修改名片 &M"),
               Keys{Qt::CTRL | Qt::Key_E, Qt::Key_F2}, &TfrmMain::changeCard);
    // An edit box keeps Delete for its text; elsewhere it deletes the current card.
    addCommand(QStringLiteral("N3"), QStringLiteral("删除名片 &D"), Keys{Qt::Key_Delete},
               &TfrmMain::deleteCard);
    addCommand(QStringLiteral("B1"), QStringLiteral("拜访记录 &B"), Keys{Qt::CTRL | Qt::Key_R},
               &TfrmMain::showVisits);
    addCommand(QStringLiteral("U1"), QStringLiteral("上一条 &S"), Keys{Qt::CTRL | Qt::Key_Up},
               &TfrmMain::previousCard);
    addCommand(QStringLiteral("U2"), QStringLiteral("下一条 &X"), Keys{Qt::CTRL | Qt::Key_Down},
               &TfrmMain::nextCard);
    addCommand(QStringLiteral("L1"), QStringLiteral("转到名片列表 &L"),
               Keys{Qt::Key_F6, Qt::CTRL | Qt::Key_L}, &TfrmMain::focusList);
    addCommand(QStringLiteral("Q1"), QStringLiteral("查询 &Q"), Keys{Qt::Key_F5},
               &TfrmMain::applyFilter);
    addCommand(QStringLiteral("F1"), QStringLiteral("查找 &F"), Keys{Qt::CTRL | Qt::Key_F},
               &TfrmMain::findCards);
    addCommand(QStringLiteral("R1"), QStringLiteral("已删除名片 &R"), Keys{},
               &TfrmMain::showDeletedCards);
    addCommand(QStringLiteral("X1"), QStringLiteral("退出 &E"), Keys{Qt::CTRL | Qt::Key_Q},
               &TfrmMain::closeWindow);
    addCommand(QStringLiteral("I1"), QStringLiteral("导入名片 &I"), Keys{Qt::CTRL | Qt::Key_I},
               &TfrmMain::importCards);
    addCommand(QStringLiteral("C1"), QStringLiteral("导入vCard &C"), Keys{},
               &TfrmMain::importVCards);
    addCommand(QStringLiteral("E1"), QStringLiteral("导出Excel &E"), Keys{},
               &TfrmMain::showExportOptions);
    addCommand(QStringLiteral("V1"), QStringLiteral("导出vCard &V"), Keys{},
               &TfrmMain::exportVCard);
    addCommand(QStringLiteral("S1"), QStringLiteral("设置默认项 &S"), Keys{},
               &TfrmMain::showDefaults);
    addCommand(QStringLiteral("C2"), QStringLiteral("连接服务器 &L"), Keys{},
               &TfrmMain::connectServer);
    addCommand(QStringLiteral("P1"), QStringLiteral("设置密码 &P"), Keys{}, &TfrmMain::setPassword);
    addCommand(QStringLiteral("A1"), QStringLiteral("关于我们 &A"), Keys{Qt::Key_F1},
               &TfrmMain::showAbout);
}

QAction* TfrmMain::command(const char* name) const {
    return findChild<QAction*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
}

void TfrmMain::buildMenuBar(QVBoxLayout* layout) {
    auto* bar = new QMenuBar(this);
    bar->setObjectName(QStringLiteral("MainMenu1"));
    const auto menu = [bar](const char* name, const QString& title,
                            const QList<QList<QAction*>>& groups) {
        QMenu* items = bar->addMenu(title);
        items->setObjectName(QLatin1String(name));
        for (const QList<QAction*>& group : groups) {
            if (!items->isEmpty()) {
                items->addSeparator();
            }
            items->addActions(group);
        }
    };
    menu("CardMenu", QStringLiteral("名片(&C)"),
         {{command("N1"), command("N2"), command("N3"), command("B1")},
          {command("U1"), command("U2"), command("L1")},
          {command("Q1"), command("F1"), command("R1")},
          {command("X1")}});
    menu("ToolMenu", QStringLiteral("工具(&T)"),
         {{command("I1"), command("C1")},
          {command("E1"), command("V1")},
          {command("S1"), command("C2"), command("P1")}});
    menu("HelpMenu", QStringLiteral("帮助(&H)"), {{command("A1")}});
    openMenuBarByF10(bar);
    layout->setMenuBar(bar);
}

void TfrmMain::buildPopupMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addActions({command("N1"), command("B1")});
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N4"));
    PopupMenu1->addActions({command("I1"), command("N2")});
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N5"));
    PopupMenu1->addAction(command("N3"));
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N6"));
    PopupMenu1->addActions({command("F1"), command("R1"), command("V1")});
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N7"));
    PopupMenu1->addAction(command("P1"));
    DBGrid1->setPopupMenu(PopupMenu1);
}

// The window's layout makes its smallest size the one at which every control shows: the bar
// buttons (the banner yields), the filter bar with its three buttons (buildFilterBar), the
// counters beside the link, and the list with its titles and a few rows.
void TfrmMain::keepControlsShown(QWidget* statusBar) {
    const QMargins margins = statusBar->layout()->contentsMargins();
    statusBar->setMinimumWidth(placedRight(statusBar) + margins.left() + publisherLink->width() +
                               margins.right());
    constexpr int ShownRows = 3;
    DBGrid1->setMinimumHeight(DBGrid1->horizontalHeader()->sizeHint().height() +
                              ShownRows * DBGrid1->verticalHeader()->defaultSectionSize() +
                              DBGrid1->horizontalScrollBar()->sizeHint().height() +
                              2 * DBGrid1->frameWidth());
}

void TfrmMain::focusList() {
    DBGrid1->setFocus(Qt::ShortcutFocusReason);
}

void TfrmMain::startUp() {
    const QDate today = Clock::today();
    dateTo->setText(dateText(today));
    dateFrom->setText(dateText(oneMonthEarlier(today)));
    m_filter = FilterInput();
    if (m_firstList == FirstList::BeforeShowing) {
        startUpFromList();
    }
    // Otherwise the rest of the start-up, beginning with the first read of the list, runs once
    // the window has been painted: with many cards the user sees the window at once, and the
    // list and its counters fill in when they are read.
}

void TfrmMain::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (m_firstList == FirstList::AfterFirstPaint && !m_startupDone && !m_startupQueued) {
        m_startupQueued = true;
        QMetaObject::invokeMethod(this, &TfrmMain::startUpFromList, Qt::QueuedConnection);
    }
}

void TfrmMain::startUpFromList() {
    m_startupDone = true;
    if (m_readOnly) {
        return; // the register is away: it is read once it is back
    }
    const BusyCursor busy;
    m_listRead = runCommand(this, [this] {
        myRef();
        WebBrowser1->navigate(BannerPane::Page::Main);
        byDate->setChecked(false);
        m_lookups.bind(typeBox, Lookup::Category);
        m_lookups.bind(sexBox, Lookup::Sex);
        m_lookups.bind(provinceBox, Lookup::Province);
    });
}

void TfrmMain::showRegisterName(const QString& name) {
    m_registerName = name;
    command("P1")->setEnabled(false);
    showRegisterState();
}

void TfrmMain::showRegisterState() {
    QString state = m_registerName;
    if (m_readOnly) {
        state += QStringLiteral("（连接已断开，只读）");
    }
    setWindowTitle(m_registerName.isEmpty() ? AppTitle : AppTitle + QStringLiteral(" - ") + state);
    registerState->setText(state);
    registerState->adjustSize();
    registerState->setStyleSheet(m_readOnly ? QStringLiteral("color: #b00000;") : QString());
    registerState->setVisible(!m_registerName.isEmpty());
}

void TfrmMain::setReadOnly(bool readOnly) {
    m_readOnly = readOnly;
    for (const char* name : {"N1", "N2", "N3", "B1", "R1", "I1", "C1", "S1"}) {
        command(name)->setEnabled(!readOnly);
    }
    for (const char* name :
         {"SpeedButton1", "SpeedButton8", "SpeedButton7", "SpeedButton2", "SpeedButton3"}) {
        findChild<QToolButton*>(QLatin1String(name))->setEnabled(!readOnly);
    }
    showRegisterState();
}

void TfrmMain::registerLost(const QString& message) {
    if (m_readOnly) {
        return;
    }
    setReadOnly(true);
    Messages::error(this, message + QStringLiteral("名片列表仍然显示，但在连接恢复之前只能查看，"
                                                   "不能修改。程序会自动重新连接"));
}

void TfrmMain::registerChanged(const StoreChanges& changes) {
    if (m_readOnly) {
        setReadOnly(false);
    }
    noteStoreChanges(changes);
}

void TfrmMain::noteStoreChanges(const StoreChanges& changes) {
    {
        const std::lock_guard<std::mutex> lock(m_changesLock);
        m_pendingChanges.add(changes);
    }
    if (QThread::currentThread() == thread()) {
        applyPendingChanges();
    } else {
        // Work on another thread (an import over a connection of its own) moved the card
        // file's version: the watch takes note afresh rather than read everything again.
        m_fileWatchStale = true;
        QMetaObject::invokeMethod(this, &TfrmMain::applyPendingChanges, Qt::QueuedConnection);
    }
}

void TfrmMain::applyPendingChanges() {
    if (BackgroundTask::running() || !m_startupDone) {
        return; // taken in once the window waits no more (or by the start-up's list)
    }
    StoreChanges changes;
    {
        const std::lock_guard<std::mutex> lock(m_changesLock);
        std::swap(changes, m_pendingChanges);
    }
    if (changes.empty()) {
        return;
    }
    if (!m_listRead) {
        startUpFromList();
        return;
    }
    runCommand(this, [this, &changes] { applyChanges(changes); });
}

void TfrmMain::applyChanges(const StoreChanges& changes) {
    const std::vector<qint64> cards = changes.distinctCards();
    if (changes.everything || cards.size() > MergeLimit || !cardList->active()) {
        refreshKeepingPlace();
        return;
    }
    if (!cardList->whole()) {
        // The rest being read brings the cards as they are now; what changed among those
        // shown already is taken in once the list is whole.
        m_listLoader->whenWhole([this, changes] { noteStoreChanges(changes); });
        return;
    }
    qint64 visits = m_visits;
    if (!cards.empty()) {
        std::vector<bool> listed;
        for (const qint64 card : cards) {
            listed.push_back(cardList->holdsKey(card));
        }
        const std::shared_ptr<ResultSet> fresh = m_store.listedCards(m_filter, cards);
        showCardCount(m_cards + cardList->mergeRows(cards, *fresh));
        // The visits of the cards that came into the list or left it count with it.
        std::vector<qint64> moved;
        for (size_t i = 0; i < cards.size(); ++i) {
            if (cardList->holdsKey(cards[i]) != listed[i]) {
                moved.push_back(cards[i]);
            }
        }
        if (!moved.empty()) {
            for (const auto& [card, count] : m_store.visitCounts(moved)) {
                visits += cardList->holdsKey(card) ? count : -count;
            }
        }
    }
    for (const StoreChanges::VisitChange& visit : changes.visits) {
        if (cardList->holdsKey(visit.card)) {
            visits += visit.delta;
        }
    }
    if (visits != m_visits) {
        showVisitCount(visits);
    }
}

// The card file says when another program committed a change, when asked: a change of
// this program's own work on another connection (an import) is not one, so the note is
// taken afresh after such work has told its changes.
void TfrmMain::watchCardFile() {
    if (BackgroundTask::running() || !m_listRead || m_readOnly) {
        return;
    }
    bool changed = false;
    try {
        changed = m_store.changedElsewhere();
    } catch (const EngineError&) {
        return; // the next command says what is wrong
    }
    if (m_fileWatchStale.exchange(false)) {
        return;
    }
    if (changed) {
        StoreChanges unknown;
        unknown.everything = true;
        noteStoreChanges(unknown);
    }
}

void TfrmMain::refreshKeepingPlace() {
    const QString sort = cardList->active() ? cardList->sort() : QString();
    const QString current = hasCard() ? currentCardField(QStringLiteral("ID")) : QString();
    const int scrolled = DBGrid1->verticalScrollBar()->value();
    myRef();
    const auto takePlace = [this, sort, current, scrolled] {
        if (!sort.isEmpty()) {
            DBGrid1->sortBy(sort);
        }
        const int position = current.isEmpty() ? -1 : positionOfCard(current);
        if (position >= 0) {
            cardList->setRecNo(position + 1);
        }
        DBGrid1->verticalScrollBar()->setValue(scrolled);
    };
    if (sort.isEmpty() && (current.isEmpty() || positionOfCard(current) >= 0)) {
        takePlace(); // among the newest cards
        return;
    }
    m_listLoader->whenWhole([this, takePlace] {
        if (cardList->recNo() <= 1) { // the user has not moved in the list meanwhile
            runCommand(this, takePlace);
        }
    });
}

void TfrmMain::myRef() {
    // What another program changes from here on is told by the card file's watch.
    m_store.changedElsewhere();
    m_fileWatchStale = false;
    // A list that cannot be read leaves the list shown as it was.
    CardStore::FirstScreen first = m_store.newestCards(m_filter, FirstScreenRows);
    m_listLoader->stop();
    if (first.restBelow == 0) { // the whole list
        const int shown = first.cards->rowCount();
        m_listLoader->show(std::move(first.cards), nullptr);
        DBGrid1->setColumnLayout(cardListWidths());
        showCardCount(shown);
        showVisitCount(m_store.visitCount(m_filter));
        return;
    }
    std::unique_ptr<CardListFill> rest = m_store.restOfList(m_filter, first.restBelow);
    m_listLoader->show(std::move(first.cards), std::move(rest));
    DBGrid1->setColumnLayout(cardListWidths());
    // Counted with the rest.
    cardCount->setText(QStringLiteral("名片数量："));
    visitCount->setText(QStringLiteral("拜访次数："));
}

void TfrmMain::showCardCount(qint64 cards) {
    m_cards = cards;
    cardCount->setText(QStringLiteral("名片数量：") + QString::number(cards));
}

void TfrmMain::showVisitCount(qint64 visits) {
    m_visits = visits;
    visitCount->setText(QStringLiteral("拜访次数：") + QString::number(visits));
}

void TfrmMain::applyFilter() {
    FilterInput in;
    in.dateFrom = dateFrom->text();
    in.dateTo = dateTo->text();
    in.byDate = byDate->isChecked();
    in.byType = byType->isChecked();
    in.type = typeBox->shownText();
    in.byName = byName->isChecked();
    in.name = nameBox->text();
    in.bySex = bySex->isChecked();
    in.sex = sexBox->shownText();
    in.byProvince = byProvince->isChecked();
    in.province = provinceBox->shownText();
    m_filter = in;
    runCommand(this, [this] { myRef(); });
}

bool TfrmMain::hasCard() const {
    return cardList->active() && cardList->recordCount() > 0;
}

QString TfrmMain::currentCardField(const QString& name) const {
    return cardList->fieldByName(name);
}

qint64 TfrmMain::currentCardId() const {
    return currentCardField(QStringLiteral("ID")).toLongLong();
}

void TfrmMain::previousCard() {
    if (cardList->active()) {
        cardList->prior();
    }
}

void TfrmMain::nextCard() {
    if (cardList->active()) {
        cardList->next();
    }
}

void TfrmMain::showChild(ModalWindow* window) {
    // The store tells what a window changed; a window that replaced the register's cards as a
    // whole (a copy into the card file) says so, and the list is read again.
    connect(window, &ModalWindow::cardsChanged, this, [this] {
        StoreChanges everything;
        everything.everything = true;
        noteStoreChanges(everything);
    });
    window->exec();
    window->deleteLater();
}

void TfrmMain::newCard() {
    showChild(new TfrmD_D(this, m_store, m_lookups, TfrmD_D::NewCards));
}

void TfrmMain::changeCard() {
    if (m_readOnly || !hasCard()) { // a double click while the register is away
        return;
    }
    showChild(new TfrmD_D(this, m_store, m_lookups, currentCardId()));
}

void TfrmMain::deleteCard() {
    if (!hasCard()) {
        return;
    }
    // The card stays in the file, with its visits, and "已删除名片" restores it.
    const QString question = QStringLiteral("确定要删除名片 %1 吗？删除后可在“已删除名片”中恢复。")
                                 .arg(currentCardField(QStringLiteral("姓名")));
    if (!Messages::confirm(this, question, QStringLiteral("删除名片"), false)) {
        return;
    }
    runCommand(this, [this] {
        const qint64 id = currentCardId();
        waitForStore(this, m_store, [&] { m_store.softDelete(id); });
    });
}

void TfrmMain::showVisits() {
    if (!hasCard()) {
        return;
    }
    showChild(
        new TfrmList(this, m_store, currentCardId(), currentCardField(QStringLiteral("姓名"))));
}

void TfrmMain::importCards() {
    showChild(new TfrmInData(this, m_store));
}

void TfrmMain::importVCards() {
    auto* import = new TfrmInData(this, m_store);
    // The file dialog of 导入vCard comes up over the import window once it is shown.
    QMetaObject::invokeMethod(import, &TfrmInData::openVCards, Qt::QueuedConnection);
    showChild(import);
}

void TfrmMain::showDefaults() {
    auto* defaults = new TfrmMRX(this, m_store, m_lookups);
    defaults->exec();
    defaults->deleteLater();
}

void TfrmMain::closeWindow() {
    close();
}

void TfrmMain::findCards() {
    // Without a filter the list holds every live card: the window searches it rather than
    // reading them all again.
    std::shared_ptr<const ResultSet> liveCards;
    if (m_filter.isEmpty() && cardList->active()) {
        bool waited = false;
        const bool completed =
            runCommand(this, [this, &waited] { waited = cardList->waitForAllRows(); });
        if (!completed || !waited) {
            return;
        }
        liveCards = cardList->wholeResult();
    }
    auto* find = new TfrmFind(this, m_store, std::move(liveCards));
    connect(find, &TfrmFind::cardChosen, this, &TfrmMain::locateCard);
    showChild(find);
}

int TfrmMain::positionOfCard(const QString& id) const {
    const ResultSet* list = cardList->result();
    const int key = list ? list->columnIndex(QStringLiteral("ID")) : -1;
    if (key < 0) {
        return -1;
    }
    const QByteArray wanted = id.toUtf8();
    const std::string_view keyText(wanted.constData(), size_t(wanted.size()));
    for (int position = 0; position < list->rowCount(); ++position) {
        if (list->utf8(cardList->rowAt(position), key) == keyText) {
            return position;
        }
    }
    return -1;
}

void TfrmMain::locateCard(const QString& id) {
    runCommand(this, [this, &id] {
        if (!cardList->waitForAllRows()) {
            return;
        }
        if (positionOfCard(id) < 0) {
            for (QCheckBox* box : {byDate, byType, byName, bySex, byProvince}) {
                box->setChecked(false);
            }
            m_filter = FilterInput();
            myRef();
            if (!cardList->waitForAllRows()) {
                return;
            }
        }
        const int position = positionOfCard(id);
        if (position >= 0) {
            cardList->setRecNo(position + 1);
            focusList();
        }
    });
}

void TfrmMain::showDeletedCards() {
    showChild(new TfrmDeleted(this, m_store));
}

void TfrmMain::setPassword() {
    showChild(new TfrmPassword(this, m_store.engine()));
}

void TfrmMain::exportVCard() {
    runCommand(this, [this] {
        if (cardList->waitForAllRows()) {
            exportVCards(this, cardList);
        }
    });
}

void TfrmMain::connectServer() {
    auto* window = new TfrmConnect(this, m_cardFile);
    connect(window, &TfrmConnect::registerChosen, this, [this](const QString& server) {
        const QString where =
            server.isEmpty() ? QStringLiteral("本机文件") : PgConnection(server).registerName();
        Messages::info(this, QStringLiteral("已保存。下次启动程序时打开%1。").arg(where));
    });
    showChild(window);
}

void TfrmMain::showExportOptions() {
    auto* options = new TfrmE(this);
    options->cardList = cardList;
    showChild(options);
}

void TfrmMain::showAbout() {
    Messages::openExternally(QUrl(PublisherUrl));
}

void TfrmMain::openPublisherLink() {
    Messages::openExternally(QUrl(PublisherUrl));
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == publisherLink && event->type() == QEvent::MouseButtonRelease) {
        // A click: the left button, pressed on the label (which then receives the release)
        // and released still inside it.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            publisherLink->rect().contains(mouse->position().toPoint())) {
            openPublisherLink();
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    // FormCloseQuery: the same question for "退出" and the title bar's close box.
    if (Messages::confirm(this, QStringLiteral("您确认要退出 Orvane名片管理 吗？ ^_^ "), AppTitle,
                          true)) {
        event->accept();
    } else {
        event->ignore();
    }
}

void TfrmMain::keyPressEvent(QKeyEvent* event) {
    // "查询" is the window's default button: Enter anywhere else in the window runs it.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        queryButton->click();
        return;
    }
    QWidget::keyPressEvent(event);
}
