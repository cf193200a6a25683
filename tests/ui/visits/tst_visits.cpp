// The visit window through the real engine, opened from the main window as a user opens it:
// the list of one card's visits, saving and removing visits, hostile input, the main
// window's visit counter after closing, and the title-click sort of the shared grid.

#include "db/clock.h"
#include "db/query.h"
#include "testsupport.h"
#include "ui/common/datagrid.h"
#include "ui/common/messages.h"
#include "ui/main/mainwindow.h"
#include "ui/visits/visitwindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolButton>

namespace {
const QString Saved = QStringLiteral("恭喜！恭喜！ 拜访信息 保存成功！");
const QString Refused = QStringLiteral("拜访内容 不能为空！");
const QString RemoveQuestion = QStringLiteral("确认要注销拜访信息吗？该注销将不可恢复！");

QLineEdit* edit(QWidget* window, const char* name) {
    return window->findChild<QLineEdit*>(name);
}
QComboBox* kindBox(QWidget* window) {
    return window->findChild<QComboBox*>("ComboBox1");
}
QPushButton* button(QWidget* window, const char* name) {
    return window->findChild<QPushButton*>(name);
}
DataGrid* visitGrid(QWidget* window) {
    return window->findChild<DataGrid*>("DBGrid1");
}
QLabel* visitCounter() {
    return frmMain->findChild<QLabel*>("Label5");
}

// Replaces the whole text of a box by typing, as a user selecting all and typing over it.
void typeOver(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(box, Qt::Key_Delete);
    } else {
        typeText(box, text);
    }
}

// Replaces the whole text of a box by pasting from the clipboard.
void pasteOver(QLineEdit* box, const QString& text) {
    QApplication::clipboard()->setText(text);
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
}

// The visits as the grid shows them, top to bottom: "date|kind|content".
QStringList shownVisits(QWidget* window) {
    const QAbstractItemModel* model = visitGrid(window)->model();
    QStringList rows;
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 1; c < model->columnCount(); ++c) {
            cells << model->index(r, c).data().toString();
        }
        rows << cells.join(u'|');
    }
    return rows;
}

QStringList plainMessages() {
    QStringList texts;
    for (const Messages::Shown& shown : Messages::shown()) {
        if (shown.kind == Messages::Kind::Plain) {
            texts << shown.text;
        }
    }
    return texts;
}

QPoint cellCentre(QTableView* grid, int row, int column) {
    return grid->visualRect(grid->model()->index(row, column)).center();
}

void save(QWidget* window) {
    QTest::mouseClick(button(window, "BitBtn1"), Qt::LeftButton);
}

// Right-clicks the row of the visit grid and picks "注销拜访记录" from the menu that comes up.
void removeRowByMenu(QWidget* window, int row) {
    DataGrid* grid = visitGrid(window);
    const QPoint at = cellCentre(grid, row, 2);
    QTest::mousePress(grid->viewport(), Qt::RightButton, {}, at);
    QTest::mouseRelease(grid->viewport(), Qt::RightButton, {}, at);
    auto* menu = window->findChild<QMenu*>("PopupMenu1");
    auto* item = window->findChild<QAction*>("D1");
    QVERIFY(menu && item);
    if (!menu->isVisible()) {
        // The platform sends no context-menu event for a synthetic click: ask as it would.
        QContextMenuEvent request(QContextMenuEvent::Mouse, at, grid->viewport()->mapToGlobal(at));
        QApplication::sendEvent(grid->viewport(), &request);
    }
    QTRY_VERIFY(menu->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    QTRY_VERIFY(!menu->isVisible());
}
} // namespace

class TestVisits : public QObject {
    Q_OBJECT

private slots:
    void init() { m_program = std::make_unique<ProgramFixture>(); }
    void cleanup() { m_program.reset(); }

    void opensOnTheChosenCardWithItsVisitsNewestFirst_data() {
        QTest::addColumn<bool>("byMenu");
        QTest::newRow("toolbar button") << false;
        QTest::newRow("pop-up menu item") << true;
    }
    void opensOnTheChosenCardWithItsVisitsNewestFirst() {
        QFETCH(bool, byMenu);
        DirectSql& sql = m_program->sql();
        const QString older = insertCard(sql, "客户", "张三", "男");
        const QString newer = insertCard(sql, "同事", "李四", "女");
        insertVisit(sql, older, "2008-01-05", "电话", "初次联系");
        insertVisit(sql, older, "2008-02-20", "上门", "送样品");
        insertVisit(sql, newer, "2008-03-01", "吃饭", "李四的饭局");
        m_program->start();

        // The list is newest first: the older card "张三" is the second row.
        openVisits(1, byMenu, [](TfrmList* window) {
            const QString caption = QStringLiteral("张三 拜访记录");
            QCOMPARE(window->windowTitle(), caption);
            QCOMPARE(window->findChild<QGroupBox*>("GroupBox1")->title(), caption);
            QCOMPARE(window->findChild<QGroupBox*>("GroupBox2")->title(), caption);
            QCOMPARE(shownVisits(window),
                     QStringList({"2008-02-20|上门|送样品", "2008-01-05|电话|初次联系"}));
            QVERIFY(visitGrid(window)->isColumnHidden(0));
            QTRY_COMPARE(QApplication::focusWidget(), edit(window, "Edit2"));
        });
    }

    void cardWithoutVisits() {
        const QString id = insertCard(m_program->sql(), "客户", "张三", "男");
        m_program->start();
        openVisits(0, false, [&](TfrmList* window) {
            DataGrid* grid = visitGrid(window);
            QCOMPARE(grid->model()->rowCount(), 0);
            QStringList titles;
            for (int c = 0; c < grid->model()->columnCount(); ++c) {
                if (!grid->isColumnHidden(c)) {
                    titles << grid->model()->headerData(c, Qt::Horizontal).toString();
                }
            }
            QCOMPARE(titles, QStringList({"拜访日期", "拜访方式", "拜访内容"}));
            QCOMPARE(edit(window, "Edit1")->text(), QStringLiteral("2008-03-07"));
            QCOMPARE(kindBox(window)->currentText(), QStringLiteral("电话"));
            QCOMPARE(edit(window, "Edit2")->text(), QString());

            // Nothing to remove: the item asks nothing and does nothing.
            window->findChild<QAction*>("D1")->trigger();
            QVERIFY(Messages::shown().isEmpty());

            typeOver(edit(window, "Edit2"), "第一次拜访");
            button(window, "BitBtn1")->setFocus(); // where a click on "保存" leaves it
            save(window);
            QCOMPARE(shownVisits(window), QStringList({"2008-03-07|电话|第一次拜访"}));
            // Ready for the next visit.
            QTRY_COMPARE(QApplication::focusWidget(), edit(window, "Edit2"));

            checkEveryControlShowsAtMinimumSize(window);
        });
        QCOMPARE(m_program->sql().count("SELECT ID FROM DList WHERE DID=" + id), 1);
    }

    void proposesTodayAsTheVisitDate_data() {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("shown");
        QTest::newRow("single-digit month and day") << QDate(2008, 3, 5) << "2008-03-05";
        QTest::newRow("two-digit month and day") << QDate(2008, 11, 15) << "2008-11-15";
        QTest::newRow("new year's day") << QDate(2010, 1, 1) << "2010-01-01";
    }
    void proposesTodayAsTheVisitDate() {
        QFETCH(QDate, today);
        QFETCH(QString, shown);
        insertCard(m_program->sql(), "客户", "张三", "男");
        m_program->start();
        Clock::setFixedToday(today);
        openVisits(0, false, [&](TfrmList* window) {
            QCOMPARE(edit(window, "Edit1")->text(), shown);
            typeOver(edit(window, "Edit2"), "回访");
            save(window);
        });
        QCOMPARE(m_program->sql().scalar("SELECT LDate FROM DList"), shown);
    }

    void savesSeveralVisitsOfOneDayInARow() {
        DirectSql& sql = m_program->sql();
        const QString id = insertCard(sql, "客户", "张三", "男");
        insertVisit(sql, id, "2008-01-01", "电话", "元旦问候");
        insertVisit(sql, id, "2008-04-01", "上门", "已约好的拜访");
        m_program->start();
        openVisits(0, false, [&](TfrmList* window) {
            QComboBox* kind = kindBox(window);
            kind->setFocus();
            QTest::keyClick(kind, Qt::Key_Down); // the next listed kind, "上门"
            QCOMPARE(kind->currentText(), QStringLiteral("上门"));

            for (const QString& content : {QStringLiteral("谈合同"), QStringLiteral("送样品")}) {
                Messages::clearRecord();
                typeOver(edit(window, "Edit2"), content);
                save(window);
                QCOMPARE(plainMessages(), QStringList({Saved}));
                QCOMPARE(edit(window, "Edit2")->text(), QString());
                QCOMPARE(edit(window, "Edit1")->text(), QStringLiteral("2008-03-07"));
                QCOMPARE(kind->currentText(), QStringLiteral("上门"));
            }
            // Each new visit stands in its place by date, newest first.
            const QStringList shown = shownVisits(window);
            QCOMPARE(shown.size(), 4);
            QCOMPARE(shown.first(), QStringLiteral("2008-04-01|上门|已约好的拜访"));
            QCOMPARE(QStringList(shown.mid(1, 2)).join(u',').count("2008-03-07|上门|"), 2);
            QCOMPARE(shown.last(), QStringLiteral("2008-01-01|电话|元旦问候"));
            QCOMPARE(visitGrid(window)->query()->recNo(), 1);
        });
        QCOMPARE(sql.count("SELECT ID FROM DList WHERE DID=" + id +
                           " AND LDate='2008-03-07' AND LType='上门'"),
                 2);
    }

    void refusesOnlyEmptyContent_data() {
        QTest::addColumn<QString>("content");
        QTest::addColumn<bool>("refused");
        QTest::newRow("empty") << "" << true;
        QTest::newRow("one blank") << " " << false;
        QTest::newRow("blanks") << "   " << false;
        QTest::newRow("ideographic blank") << "　" << false;
    }
    void refusesOnlyEmptyContent() {
        QFETCH(QString, content);
        QFETCH(bool, refused);
        insertCard(m_program->sql(), "客户", "张三", "男");
        m_program->start();
        openVisits(0, false, [&](TfrmList* window) {
            QLineEdit* box = edit(window, "Edit2");
            typeOver(box, content);
            button(window, "BitBtn1")->setFocus();
            save(window);
            QCOMPARE(plainMessages(), QStringList({refused ? Refused : Saved}));
            if (refused) {
                QCOMPARE(QApplication::focusWidget(), box);
            }
        });
        DirectSql& sql = m_program->sql();
        QCOMPARE(sql.count("SELECT ID FROM DList"), refused ? 0 : 1);
        if (!refused) {
            QCOMPARE(sql.scalar("SELECT LMemo FROM DList"), content);
        }
    }

    // Every box takes any text: it is stored exactly as the box shows it, within its limit.
    void storesEachBoxExactlyAsShown_data() {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("storedDate");
        QTest::addColumn<QString>("storedKind");
        QTest::addColumn<QString>("storedContent");
        QTest::newRow("empty date, kind typed by hand") << ""
                                                        << "视频会议"
                                                        << "线上"
                                                        << ""
                                                        << "视频会议"
                                                        << "线上";
        QTest::newRow("free-form date") << "三月初"
                                        << "e-mail"
                                        << "邮件往来"
                                        << "三月初"
                                        << "e-mail"
                                        << "邮件往来";
        QTest::newRow("quotes") << "'08'"
                                << "O'Neil"
                                << "他说'好' \"OK\" ''"
                                << "'08'"
                                << "O'Neil"
                                << "他说'好' \"OK\" ''";
        QTest::newRow("statement ends") << "');--"
                                        << "';--"
                                        << "x');DELETE FROM DList;--"
                                        << "');--"
                                        << "';--"
                                        << "x');DELETE FROM DList;--";
        QTest::newRow("wildcards and backslashes") << "%_\\"
                                                   << "100%\\_"
                                                   << "C:\\temp\\ 50% _x_ \\'"
                                                   << "%_\\"
                                                   << "100%\\_"
                                                   << "C:\\temp\\ 50% _x_ \\'";
        QTest::newRow("limits in GBK bytes")
            << "2008-03-07 星期五"
            << "视频会议电话" << QString(60, QChar(u'访')) << "2008-03-07"
            << "视频会议电" << QString(50, QChar(u'访'));
        QTest::newRow("ASCII fills the byte limit")
            << "2008-03-07Z"
            << "abcdefghijk" << QString(101, u'a') << "2008-03-07"
            << "abcdefghij" << QString(100, u'a');
    }
    void storesEachBoxExactlyAsShown() {
        QFETCH(QString, date);
        QFETCH(QString, kind);
        QFETCH(QString, content);
        QFETCH(QString, storedDate);
        QFETCH(QString, storedKind);
        QFETCH(QString, storedContent);
        DirectSql& sql = m_program->sql();
        const QString id = insertCard(sql, "客户", "张三", "男");
        insertVisit(sql, id, "2008-01-01", "电话", "已有的拜访");
        m_program->start();
        openVisits(0, false, [&](TfrmList* window) {
            typeOver(edit(window, "Edit1"), date);
            typeOver(kindBox(window)->lineEdit(), kind);
            typeOver(edit(window, "Edit2"), content);
            save(window);
            QCOMPARE(plainMessages(), QStringList({Saved}));
            QVERIFY(shownVisits(window).contains(storedDate + u'|' + storedKind + u'|' +
                                                 storedContent));
        });
        QCOMPARE(lastErrorText(), QString());
        QCOMPARE(sql.count("SELECT ID FROM DList WHERE DID=" + id), 2);
        const QString newest = " FROM DList WHERE DID=" + id + " ORDER BY ID DESC LIMIT 1";
        QCOMPARE(sql.scalar("SELECT LDate" + newest), storedDate);
        QCOMPARE(sql.scalar("SELECT LType" + newest), storedKind);
        QCOMPARE(sql.scalar("SELECT LMemo" + newest), storedContent);
    }

    // Pasted text, line breaks and characters outside GBK included, arrives whole.
    void storesPastedTextExactlyAsShown_data() {
        QTest::addColumn<QString>("pasted");
        QTest::newRow("line breaks") << "第一行\r\n第二行\n第三行";
        QTest::newRow("outside GBK") << "😀 한국어 ẞ ﷺ";
        QTest::newRow("statement in lines") << "x');\nDELETE FROM DList;\n--";
    }
    void storesPastedTextExactlyAsShown() {
        QFETCH(QString, pasted);
        const QString id = insertCard(m_program->sql(), "客户", "张三", "男");
        m_program->start();
        QString shown[3];
        openVisits(0, false, [&](TfrmList* window) {
            pasteOver(edit(window, "Edit1"), pasted);
            pasteOver(kindBox(window)->lineEdit(), pasted);
            pasteOver(edit(window, "Edit2"), pasted);
            shown[0] = edit(window, "Edit1")->text();
            shown[1] = kindBox(window)->currentText();
            shown[2] = edit(window, "Edit2")->text();
            QVERIFY(!shown[2].isEmpty());
            save(window);
            QCOMPARE(plainMessages(), QStringList({Saved}));
        });
        DirectSql& sql = m_program->sql();
        QCOMPARE(sql.count("SELECT ID FROM DList WHERE DID=" + id), 1);
        QCOMPARE(sql.scalar("SELECT LDate FROM DList"), shown[0]);
        QCOMPARE(sql.scalar("SELECT LType FROM DList"), shown[1]);
        QCOMPARE(sql.scalar("SELECT LMemo FROM DList"), shown[2]);
    }

    void removesThePointedVisitOnlyWhenConfirmed_data() {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("yes") << true << QStringList({"2008-03-03|吃饭|丙", "2008-01-01|电话|甲"});
        QTest::newRow("no") << false
                            << QStringList({"2008-03-03|吃饭|丙", "2008-02-02|上门|乙",
                                            "2008-01-01|电话|甲"});
    }
    void removesThePointedVisitOnlyWhenConfirmed() {
        QFETCH(bool, answer);
        QFETCH(QStringList, left);
        DirectSql& sql = m_program->sql();
        const QString id = insertCard(sql, "客户", "张三", "男");
        const QString other = insertCard(sql, "同事", "李四", "女");
        insertVisit(sql, id, "2008-01-01", "电话", "甲");
        insertVisit(sql, id, "2008-02-02", "上门", "乙");
        insertVisit(sql, id, "2008-03-03", "吃饭", "丙");
        insertVisit(sql, other, "2008-02-02", "上门", "李四的拜访");
        m_program->start();
        openVisits(1, false, [&](TfrmList* window) {
            Messages::queueAnswer(answer);
            removeRowByMenu(window, 1);
            QCOMPARE(Messages::shown().size(), 1);
            const Messages::Shown& asked = Messages::shown().first();
            QCOMPARE(asked.kind, Messages::Kind::Question);
            QCOMPARE(asked.text, RemoveQuestion);
            QCOMPARE(asked.caption, QStringLiteral("注销名片"));
            QVERIFY(!asked.yesIsDefault);
            QCOMPARE(shownVisits(window), left);
        });
        QCOMPARE(sql.count("SELECT ID FROM DList WHERE DID=" + id), left.size());
        QCOMPARE(sql.count("SELECT ID FROM DList WHERE LMemo='乙'"), answer ? 0 : 1);
        QCOMPARE(sql.count("SELECT ID FROM DList WHERE DID=" + other), 1);
        QCOMPARE(sql.count("SELECT ID FROM D_B WHERE theDel='否'"), 2);
    }

    // "注销拜访记录" acts only on a visit the menu was opened on: a right click on a row or
    // the keys at the current row enable it; below the last row or on the titles it is
    // disabled and removes nothing.
    void removeIsOfferedOnlyOnARow_data() {
        QTest::addColumn<QString>("where");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("on a row") << "row" << true;
        QTest::newRow("below the last row") << "below" << false;
        QTest::newRow("on the titles") << "titles" << false;
        QTest::newRow("Menu key") << "menu key" << true;
        QTest::newRow("Shift+F10") << "shift f10" << true;
    }
    void removeIsOfferedOnlyOnARow() {
        QFETCH(QString, where);
        QFETCH(bool, enabled);
        DirectSql& sql = m_program->sql();
        const QString id = insertCard(sql, "客户", "张三", "男");
        insertVisit(sql, id, "2008-01-01", "电话", "甲");
        insertVisit(sql, id, "2008-02-02", "上门", "乙");
        m_program->start();
        openVisits(0, false, [&](TfrmList* window) {
            DataGrid* grid = visitGrid(window);
            auto* menu = window->findChild<QMenu*>("PopupMenu1");
            QAction* remove = window->findChild<QAction*>("D1");
            auto rightClick = [](QWidget* target, const QPoint& at) {
                QContextMenuEvent request(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
                QApplication::sendEvent(target, &request);
            };
            grid->setFocus();
            if (where == "row") {
                rightClick(grid->viewport(), cellCentre(grid, 1, 2));
            } else if (where == "below") {
                rightClick(grid->viewport(), QPoint(20, grid->viewport()->height() - 5));
            } else if (where == "titles") {
                rightClick(grid->horizontalHeader()->viewport(), QPoint(20, 5));
            } else if (where == "menu key") {
                QTest::keyClick(grid, Qt::Key_Menu);
            } else {
                QTest::keyClick(grid, Qt::Key_F10, Qt::ShiftModifier);
            }
            QTRY_VERIFY(menu->isVisible());
            QCOMPARE(remove->isEnabled(), enabled);
            Messages::queueAnswer(true);
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(remove).center());
            if (menu->isVisible()) {
                menu->close(); // a click on a disabled item leaves the menu open
            }
            QCOMPARE(Messages::shown().size(), enabled ? 1 : 0);
        });
        QCOMPARE(sql.count("SELECT ID FROM DList"), enabled ? 1 : 2);
    }

    void closingRefreshesTheMainVisitCounter_data() {
        QTest::addColumn<bool>("byCloseBox");
        QTest::newRow("退出") << false;
        QTest::newRow("title bar's close box") << true;
    }
    void closingRefreshesTheMainVisitCounter() {
        QFETCH(bool, byCloseBox);
        DirectSql& sql = m_program->sql();
        const QString id = insertCard(sql, "客户", "张三", "男");
        insertVisit(sql, id, "2008-01-01", "电话", "甲");
        m_program->start();
        QCOMPARE(visitCounter()->text(), QStringLiteral("拜访次数：1"));
        openVisits(0, false, [&](TfrmList* window) {
            for (const QString& content : {QStringLiteral("乙"), QStringLiteral("丙")}) {
                typeOver(edit(window, "Edit2"), content);
                save(window);
            }
            Messages::queueAnswer(true);
            removeRowByMenu(window, 2);
            typeOver(edit(window, "Edit2"), "未保存的内容");
            Messages::queueSaveAnswer(Messages::SaveAnswer::Discard);
            if (byCloseBox) {
                window->close();
            } else {
                QTest::mouseClick(button(window, "BitBtn2"), Qt::LeftButton);
            }
            QVERIFY(!window->isVisible());
        });
        QCOMPARE(visitCounter()->text(), QStringLiteral("拜访次数：2"));
        QCOMPARE(sql.count("SELECT ID FROM DList WHERE LMemo='甲'"), 0);
        QCOMPARE(sql.count("SELECT ID FROM DList WHERE LMemo='未保存的内容'"), 0);
        QCOMPARE(lastErrorText(), QString());
    }

    void onlyTheBannerFollowsTheWindowsWidth() {
        insertCard(m_program->sql(), "客户", "张三", "男");
        m_program->start();
        openVisits(0, false, [&](TfrmList* window) {
            auto* banner = window->findChild<QWidget*>(QStringLiteral("WebBrowser1"));
            QCOMPARE(banner->geometry(), QRect(0, 0, window->width(), 120));
            const QRect list = window->GroupBox1->geometry();
            window->resize(window->width() + 200, window->height());
            QTRY_COMPARE(banner->width(), window->width());
            QCOMPARE(banner->height(), 120);
            QCOMPARE(window->GroupBox1->geometry(), list);
            window->close();
        });
    }

    void keysAndTheTabOrder() {
        insertCard(m_program->sql(), "客户", "张三", "男");
        m_program->start();
        openVisits(0, false, [&](TfrmList* window) {
            QTest::keyClick(edit(window, "Edit2"), Qt::Key_Return);
            QVERIFY(Messages::shown().isEmpty()); // Enter in a box presses no button
            button(window, "BitBtn1")->setFocus();
            QTest::keyClick(button(window, "BitBtn1"), Qt::Key_Return);
            QCOMPARE(plainMessages(), QStringList({Refused})); // but presses a focused button

            // Tab also walks the grid's cells and the banner's links before it leaves them.
            edit(window, "Edit1")->setFocus();
            QStringList order;
            for (int i = 0; i < 30 && !order.endsWith("Edit1"); ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QWidget* focus = QApplication::focusWidget();
                if (focus == kindBox(window)->lineEdit()) {
                    focus = kindBox(window);
                }
                if (!order.endsWith(focus->objectName())) {
                    order << focus->objectName();
                }
            }
            // As the window reads: the entry row, the buttons left to right, then round to the
            // banner and the list at the top.
            QCOMPARE(order, QStringList({"ComboBox1", "Edit2", "BitBtn1", "BitBtn3", "BitBtn2",
                                         "WebBrowser1", "DBGrid1", "Edit1"}));

            // Ctrl+S saves the visit; Esc closes the window as 退出 does.
            typeText(edit(window, "Edit2"), QStringLiteral("回访"));
            QTest::keyClick(edit(window, "Edit2"), Qt::Key_S, Qt::ControlModifier);
            QCOMPARE(plainMessages().last(), QStringLiteral("恭喜！恭喜！ 拜访信息 保存成功！"));
            QTest::keyClick(edit(window, "Edit2"), Qt::Key_Escape);
            QVERIFY(!window->isVisible());
        });
    }

    void titleClickSortsByDateOldestFirstUntilTheNextRefresh() {
        DirectSql& sql = m_program->sql();
        const QString id = insertCard(sql, "客户", "张三", "男");
        insertVisit(sql, id, "2008-02-01", "上门", "中间");
        insertVisit(sql, id, "2007-12-31", "电话", "最早");
        insertVisit(sql, id, "2008-03-01", "吃饭", "最近");
        m_program->start();
        openVisits(0, false, [&](TfrmList* window) {
            DataGrid* grid = visitGrid(window);
            QHeaderView* titles = grid->horizontalHeader();
            auto clickDateTitle = [&] {
                const QPoint at(titles->sectionViewportPosition(1) + titles->sectionSize(1) / 2,
                                titles->height() / 2);
                QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, at);
            };
            auto titleColour = [&] {
                return grid->model()
                    ->headerData(1, Qt::Horizontal, Qt::ForegroundRole)
                    .value<QColor>();
            };

            clickDateTitle();
            QCOMPARE(shownVisits(window),
                     QStringList(
                         {"2007-12-31|电话|最早", "2008-02-01|上门|中间", "2008-03-01|吃饭|最近"}));
            QCOMPARE(titleColour(), QColor(255, 0, 0));
            // The oldest visit, first, is painted pale green (its content cell is not current).
            const QImage painted = grid->viewport()->grab().toImage();
            const QRect firstContent = grid->visualRect(grid->model()->index(0, 3));
            QCOMPARE(QColor(painted.pixel(firstContent.left() + 2, firstContent.center().y())),
                     DataGrid::oddRowColour());

            clickDateTitle();
            QCOMPARE(shownVisits(window).first(), QStringLiteral("2008-03-01|吃饭|最近"));
            QCOMPARE(titleColour(), QColor(0, 0, 255));

            // A save re-runs the list: the statement's order again, no title marked.
            clickDateTitle();
            typeOver(edit(window, "Edit2"), "新的");
            save(window);
            QCOMPARE(shownVisits(window).first(), QStringLiteral("2008-03-07|电话|新的"));
            QCOMPARE(grid->query()->sort(), QString());
            QVERIFY(grid->isColumnHidden(0));
        });
    }

    // The entry pane and the remove item are the ways of changing visits: the grid only
    // shows them, so what it shows is always what is stored.
    void gridDoesNotEditVisitsInPlace() {
        DirectSql& sql = m_program->sql();
        const QString id = insertCard(sql, "客户", "张三", "男");
        insertVisit(sql, id, "2008-01-01", "电话", "甲");
        m_program->start();
        openVisits(0, false, [&](TfrmList* window) {
            DataGrid* grid = visitGrid(window);
            const QPoint cell = cellCentre(grid, 0, 3);
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell);
            QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell);
            QTest::keyClick(grid, Qt::Key_F2);
            QCOMPARE(QApplication::focusWidget(), grid); // no cell editor came up
            typeText(grid, "改过");
            QTest::keyClick(grid, Qt::Key_Return);
            QCOMPARE(shownVisits(window), QStringList({"2008-01-01|电话|甲"}));
        });
        QCOMPARE(sql.scalar("SELECT LMemo FROM DList"), QStringLiteral("甲"));
    }

    // A statement refused by the engine ends the command with the error box and loses
    // nothing: the typed content stays for another try, the stored visits stay.
    void engineErrorsKeepTheWindowAndTheData() {
        DirectSql& sql = m_program->sql();
        const QString id = insertCard(sql, "客户", "张三", "男");
        insertVisit(sql, id, "2008-01-01", "电话", "甲");
        m_program->start();
        sql.exec("CREATE TRIGGER no_insert BEFORE INSERT ON DList "
                 "BEGIN SELECT RAISE(ABORT, '磁盘已满'); END");
        sql.exec("CREATE TRIGGER no_delete BEFORE DELETE ON DList "
                 "BEGIN SELECT RAISE(ABORT, '文件被锁定'); END");
        openVisits(0, false, [&](TfrmList* window) {
            Messages::queueAnswer(true);
            removeRowByMenu(window, 0);
            QVERIFY(lastErrorText().contains("文件被锁定"));
            QCOMPARE(shownVisits(window), QStringList({"2008-01-01|电话|甲"}));

            Messages::clearRecord();
            typeOver(edit(window, "Edit2"), "重要的内容");
            save(window);
            QVERIFY(lastErrorText().contains("磁盘已满"));
            QVERIFY(!plainMessages().contains(Saved));
            QCOMPARE(edit(window, "Edit2")->text(), QStringLiteral("重要的内容"));
            QVERIFY(window->isVisible());
        });
        QCOMPARE(sql.count("SELECT ID FROM DList"), 1);
    }

private:
    // Selects the card at a row of the main list and opens its visit window the way a user
    // does, runs action in it, and leaves it by "退出" unless the action closed it.
    void openVisits(int row, bool byMenu, const std::function<void(TfrmList*)>& action) {
        DataGrid* cards = frmMain->DBGrid1;
        QTest::mouseClick(cards->viewport(), Qt::LeftButton, {}, cellCentre(cards, row, 1));
        Messages::clearRecord();
        bool opened = false;
        whenModalShown([&](QWidget* modal) {
            auto* window = qobject_cast<TfrmList*>(modal);
            opened = window != nullptr;
            if (window) {
                action(window);
            }
            if (modal->isVisible()) {
                if (window) {
                    // Unsaved input left by a failed check: closed without the question.
                    window->reject();
                } else {
                    modal->close();
                }
            }
        });
        if (byMenu) {
            frmMain->findChild<QAction*>("B1")->trigger();
        } else {
            QTest::mouseClick(frmMain->findChild<QToolButton*>("SpeedButton8"), Qt::LeftButton);
        }
        QVERIFY(opened);
    }

    std::unique_ptr<ProgramFixture> m_program;
};

QTEST_MAIN(TestVisits)
#include "tst_visits.moc"
