// The main window's commands through the real engine: moving through the list, the soft
// delete, the silence of card commands on an empty list, the links and the exit question.

#include "db/query.h"
#include "testsupport.h"
#include "ui/common/datagrid.h"
#include "ui/common/messages.h"
#include "ui/main/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

class TestCommands : public QObject {
    Q_OBJECT

private slots:
    void init() { m_program = std::make_unique<ProgramFixture>(); }
    void cleanup() { m_program.reset(); }

    void previousAndNextStopAtTheEnds() {
        for (const char* name : {"甲", "乙", "丙"}) {
            insertCard(m_program->sql(), "客户", name, "男");
        }
        m_program->start();
        Query* list = frmMain->cardList;
        click("SpeedButton4");
        QCOMPARE(list->recNo(), 1);
        click("SpeedButton5");
        click("SpeedButton5");
        QCOMPARE(list->recNo(), 3);
        QCOMPARE(list->fieldByName("姓名"), QStringLiteral("甲"));
        click("SpeedButton5");
        QCOMPARE(list->recNo(), 3);
        click("SpeedButton4");
        QCOMPARE(list->recNo(), 2);
        QCOMPARE(frmMain->DBGrid1->currentIndex().row(), 1);
    }

    void softDelete_data() {
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<bool>("fromMenu");
        QTest::newRow("confirmed by button") << true << false;
        QTest::newRow("confirmed from the menu") << true << true;
        QTest::newRow("refused") << false << false;
    }
    void softDelete() {
        QFETCH(bool, confirmed);
        QFETCH(bool, fromMenu);
        DirectSql& sql = m_program->sql();
        const QString kept = insertCard(sql, "客户", "留下", "男");
        const QString gone = insertCard(sql, "客户", "删除", "女");
        insertVisit(sql, kept, "2008-01-01", "电话", "a");
        insertVisit(sql, gone, "2008-01-01", "电话", "b");
        insertVisit(sql, gone, "2008-01-02", "上门", "c");
        m_program->start();
        QCOMPARE(label("Label1"), QStringLiteral("名片数量：2"));
        QCOMPARE(label("Label5"), QStringLiteral("拜访次数：3"));

        Messages::queueAnswer(confirmed);
        if (fromMenu) {
            frmMain->findChild<QAction*>("N3")->trigger();
        } else {
            click("SpeedButton3");
        }
        const Messages::Shown question = Messages::shown().last();
        QCOMPARE(question.kind, Messages::Kind::Question);
        QCOMPARE(question.caption, QStringLiteral("删除名片"));
        // It names the card and says it can be restored (the card and its visits stay).
        QCOMPARE(question.text,
                 QStringLiteral("确定要删除名片 删除 吗？删除后可在“已删除名片”中恢复。"));
        QVERIFY(!question.yesIsDefault);

        QCOMPARE(label("Label1"),
                 confirmed ? QStringLiteral("名片数量：1") : QStringLiteral("名片数量：2"));
        QCOMPARE(label("Label5"),
                 confirmed ? QStringLiteral("拜访次数：1") : QStringLiteral("拜访次数：3"));
        QCOMPARE(sql.scalar("select theDel from D_B where ID=" + gone),
                 confirmed ? QStringLiteral("是") : QStringLiteral("否"));
        QCOMPARE(sql.count("select ID from DList"), 3); // visits stay in the file
        QCOMPARE(sql.scalar("select theDel from D_B where ID=" + kept), QStringLiteral("否"));
    }

    void enterAtTheDeleteQuestionAnswersNo() {
        insertCard(m_program->sql(), "客户", "留下", "男");
        m_program->start();
        click("SpeedButton3"); // no queued answer: the default button, as Enter would press
        QCOMPARE(m_program->sql().scalar("select theDel from D_B"), QStringLiteral("否"));
    }

    void cardCommandsAreSilentOnAnEmptyList() {
        m_program->start();
        click("SpeedButton2");
        click("SpeedButton3");
        click("SpeedButton8");
        for (const char* item : {"N2", "N3", "B1"}) {
            frmMain->findChild<QAction*>(item)->trigger();
        }
        click("SpeedButton4");
        click("SpeedButton5");
        QVERIFY(Messages::shown().isEmpty());
        QVERIFY(!QApplication::activeModalWidget());

        // The commands that need no card still work: the editor opens in new mode.
        QString caption;
        whenModalShown([&caption](QWidget* window) {
            caption = window->windowTitle();
            window->close();
        });
        click("SpeedButton1");
        QCOMPARE(caption, QStringLiteral("新增 名片"));
    }

    void linksOpenThePublishersSite() {
        m_program->start();
        click("SpeedButton6");
        QLabel* link = frmMain->findChild<QLabel*>("Label4");
        QCOMPARE(link->text(), QStringLiteral("软件开发：Orvane软件    "));
        // Only a left click in the label opens the site: not the right button, and not a
        // press that is released outside the label.
        QTest::mouseClick(link, Qt::RightButton);
        QTest::mousePress(link, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(5, link->height() + 20));
        QCOMPARE(Messages::opened().size(), 1);
        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(Messages::opened().size(), 2);
        QCOMPARE(Messages::opened().at(0), Messages::opened().at(1));
        QCOMPARE(Messages::opened().at(0).scheme(), QStringLiteral("https"));
    }

    void exitQuestion_data() {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("byButton");
        QTest::newRow("yes, by 退出") << true << true;
        QTest::newRow("no, by 退出") << false << true;
        QTest::newRow("yes, by the close box") << true << false;
        QTest::newRow("no, by the close box") << false << false;
    }
    void exitQuestion() {
        QFETCH(bool, answer);
        QFETCH(bool, byButton);
        m_program->start();
        Messages::queueAnswer(answer);
        if (byButton) {
            click("BitBtn3");
        } else {
            frmMain->close();
        }
        const Messages::Shown question = Messages::shown().last();
        QCOMPARE(question.text, QStringLiteral("您确认要退出 Orvane名片管理 吗？ ^_^ "));
        QCOMPARE(question.caption, QStringLiteral("Orvane名片管理"));
        QVERIFY(question.yesIsDefault);
        QCOMPARE(frmMain->isVisible(), !answer);
    }

    // The pop-up of the card list opens from a row, from the title row and from the keys.
    void popupOpensFromRowsTitlesAndKeys_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("right click on a row") << "row";
        QTest::newRow("right click on the title row") << "titles";
        QTest::newRow("Menu key") << "menu key";
        QTest::newRow("Shift+F10") << "shift f10";
    }
    void popupOpensFromRowsTitlesAndKeys() {
        QFETCH(QString, how);
        insertCard(m_program->sql(), "客户", "张三", "男");
        m_program->start();
        DataGrid* grid = frmMain->DBGrid1;
        auto* menu = frmMain->findChild<QMenu*>("PopupMenu1");
        auto rightClick = [](QWidget* target, const QPoint& at) {
            QContextMenuEvent request(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
            QApplication::sendEvent(target, &request);
        };
        grid->setFocus();
        if (how == "row") {
            rightClick(grid->viewport(), grid->visualRect(grid->model()->index(0, 2)).center());
        } else if (how == "titles") {
            rightClick(grid->horizontalHeader()->viewport(), QPoint(30, 5));
        } else if (how == "menu key") {
            QTest::keyClick(grid, Qt::Key_Menu);
        } else {
            QTest::keyClick(grid, Qt::Key_F10, Qt::ShiftModifier);
        }
        QTRY_VERIFY(menu->isVisible());
        menu->close();
    }

    // The wheel over a filter drop-down that does not have the focus leaves its value (and
    // its box unticked).
    void wheelOverAnUnfocusedFilterLeavesItsValue() {
        m_program->start();
        auto* category = frmMain->findChild<QComboBox*>("DBLookupComboBox1");
        auto* box = frmMain->findChild<QCheckBox*>("CheckBox2");
        frmMain->findChild<QLineEdit*>("Edit3")->setFocus();
        const QPoint at = category->rect().center();
        QWheelEvent wheel(at, category->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(category, &wheel);
        QCOMPARE(category->currentIndex(), -1);
        QVERIFY(!category->hasFocus());
        QVERIFY(!box->isChecked());
    }

    void shrunkWindowStillShowsEveryControl() {
        m_program->start();
        checkEveryControlShowsAtMinimumSize(frmMain);
    }

    // Each command's key opens what its button opens, on the current card.
    void commandKeys_data() {
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Ctrl+N") << QKeySequence(Qt::CTRL | Qt::Key_N) << "新增 名片";
        QTest::newRow("Ctrl+E") << QKeySequence(Qt::CTRL | Qt::Key_E) << "修改 名片";
        QTest::newRow("F2") << QKeySequence(Qt::Key_F2) << "修改 名片";
        QTest::newRow("Ctrl+R") << QKeySequence(Qt::CTRL | Qt::Key_R) << "乙 拜访记录";
        QTest::newRow("Ctrl+I") << QKeySequence(Qt::CTRL | Qt::Key_I) << "导入名片";
    }
    void commandKeys() {
        QFETCH(QKeySequence, keys);
        QFETCH(QString, caption);
        insertCard(m_program->sql(), "客户", "甲", "男");
        insertCard(m_program->sql(), "客户", "乙", "女");
        m_program->start();
        QVERIFY(QTest::qWaitForWindowActive(frmMain));
        QString shownCaption;
        whenModalShown([&shownCaption](QWidget* window) {
            shownCaption = window->windowTitle();
            window->close();
        });
        QTest::keySequence(frmMain, keys);
        QCOMPARE(shownCaption, caption);
    }

    // F6 or Ctrl+L puts the focus into the list, where the arrow keys move the current card
    // and Delete deletes it (after the question); a double-click on a row changes that card.
    void theListByKeys_data() {
        QTest::addColumn<QKeySequence>("keys");
        QTest::newRow("F6") << QKeySequence(Qt::Key_F6);
        QTest::newRow("Ctrl+L") << QKeySequence(Qt::CTRL | Qt::Key_L);
    }
    void theListByKeys() {
        QFETCH(QKeySequence, keys);
        for (const char* name : {"甲", "乙", "丙"}) {
            insertCard(m_program->sql(), "客户", name, "男");
        }
        m_program->start();
        QVERIFY(QTest::qWaitForWindowActive(frmMain));
        Query* list = frmMain->cardList;
        QTest::keySequence(frmMain, keys);
        QCOMPARE(QApplication::focusWidget(), frmMain->DBGrid1);
        QTest::keyClick(frmMain->DBGrid1, Qt::Key_Down);
        QTest::keyClick(frmMain->DBGrid1, Qt::Key_Down);
        QCOMPARE(list->recNo(), 3);
        QTest::keyClick(frmMain->DBGrid1, Qt::Key_Up);
        QCOMPARE(list->fieldByName("姓名"), QStringLiteral("乙"));

        Messages::queueAnswer(true);
        QTest::keyClick(frmMain->DBGrid1, Qt::Key_Delete);
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown().last().caption, QStringLiteral("删除名片"));
        QCOMPARE(m_program->sql().scalar("select theDel from D_B where BName='乙'"),
                 QStringLiteral("是"));

        QString caption;
        QString loadedName;
        whenModalShown([&](QWidget* window) {
            caption = window->windowTitle();
            loadedName = window->findChild<QLineEdit*>("EditB1")->text();
            window->close();
        });
        DataGrid* grid = frmMain->DBGrid1;
        const QRect secondRow = grid->visualRect(grid->model()->index(1, 3));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, secondRow.center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, secondRow.center());
        QCOMPARE(caption, QStringLiteral("修改 名片"));
        QCOMPARE(loadedName, QStringLiteral("甲"));
    }

    // In an edit box Delete deletes text, never the card; Enter still runs "查询".
    void editBoxesKeepTheirKeys() {
        insertCard(m_program->sql(), "客户", "甲", "男");
        m_program->start();
        QVERIFY(QTest::qWaitForWindowActive(frmMain));
        auto* name = frmMain->findChild<QLineEdit*>("Edit3");
        name->setFocus();
        typeText(name, "xyz");
        QTest::keyClick(name, Qt::Key_Home);
        QTest::keyClick(name, Qt::Key_Delete);
        QCOMPARE(name->text(), QStringLiteral("yz"));
        QVERIFY(Messages::shown().isEmpty());
        QTest::keyClick(name, Qt::Key_Return);
        QCOMPARE(label("Label1"), QStringLiteral("名片数量：0")); // the name filter applied
        QCOMPARE(m_program->sql().scalar("select theDel from D_B"), QStringLiteral("否"));
    }

    void popupMenuItems() {
        m_program->start();
        auto* menu = frmMain->findChild<QMenu*>("PopupMenu1");
        QStringList captions;
        for (QAction* action : menu->actions()) {
            captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
        }
        QCOMPARE(captions, QStringList({"新增名片 &N", "拜访记录 &B", "-", "导入名片 &I",
                                        "修改名片 &M", "-", "删除名片 &D", "-", "查找 &F",
                                        "已删除名片 &R", "导出vCard &V", "-", "设置密码 &P"}));
    }

private:
    void click(const char* name) {
        QAbstractButton* button = frmMain->findChild<QAbstractButton*>(name);
        QVERIFY2(button, name);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    QString label(const char* name) { return frmMain->findChild<QLabel*>(name)->text(); }

    std::unique_ptr<ProgramFixture> m_program;
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
