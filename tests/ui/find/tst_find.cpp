// The find window through the main window on the real engine: cards found as the user types,
// and the main list's cursor put on the card picked, past the filter if need be.

#include "db/query.h"
#include "testsupport.h"
#include "ui/common/datagrid.h"
#include "ui/common/messages.h"
#include "ui/find/findwindow.h"
#include "ui/main/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class TestFind : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_program = std::make_unique<ProgramFixture>();
        DirectSql& sql = m_program->sql();
        insertCard(sql, "客户", "张伟", "男");
        insertCard(sql, "朋友", "曾小贤", "男");
        insertCard(sql, "客户", "李明", "女");
        insertCard(sql, "客户", "张三", "男");
        const QString gone = insertCard(sql, "客户", "赵文", "男");
        sql.exec("update D_B set theDel='是' where ID=" + gone);
        sql.exec("update D_B set DName='北京华联商贸' where BName='李明'");
    }
    void cleanup() { m_program.reset(); }

    // Each key narrows or widens the found cards at once; deleted cards are never found.
    void findsAsTheUserTypes() {
        m_program->start();
        QVERIFY(inFindWindow(false, [](TfrmFind* find) {
            QCOMPARE(find->focusWidget(), find->searchBox);
            QCOMPARE(find->searchBox->accessibleName(), QStringLiteral("查找"));
            QTest::keyClick(find->searchBox, Qt::Key_Z);
            QCOMPARE(found(find), QStringList({"张三", "曾小贤", "张伟"})); // not 赵文
            QTest::keyClick(find->searchBox, Qt::Key_W);
            QCOMPARE(found(find), QStringList({"张伟"}));
            QCOMPARE(find->foundCount->text(), QStringLiteral("找到名片：1"));
            QTest::keyClick(find->searchBox, Qt::Key_Backspace);
            QTest::keyClick(find->searchBox, Qt::Key_X);
            QTest::keyClick(find->searchBox, Qt::Key_X);
            QCOMPARE(found(find), QStringList({"曾小贤"}));
            find->searchBox->clear();
            typeText(find->searchBox, "bjhl");
            QCOMPARE(found(find), QStringList({"李明"}));
        }));
    }

    // Enter in the box, Enter in the grid or a double-click on a row picks a card: the
    // window closes and the main list's cursor stands on that card.
    void pickingACardMovesTheMainList_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Enter in the box") << "box";
        QTest::newRow("Enter in the grid") << "grid";
        QTest::newRow("double-click") << "double-click";
    }
    void pickingACardMovesTheMainList() {
        QFETCH(QString, how);
        m_program->start();
        QCOMPARE(frmMain->cardList->fieldByName("姓名"), QStringLiteral("张三"));
        QVERIFY(inFindWindow(true, [&](TfrmFind* find) {
            typeText(find->searchBox, "zhang");
            QCOMPARE(found(find), QStringList({"张三", "张伟"}));
            if (how == "box") {
                QTest::keyClick(find->searchBox, Qt::Key_Return);
                return;
            }
            QTest::keyClick(find->searchBox, Qt::Key_Down);
            QCOMPARE(QApplication::focusWidget(), find->DBGrid1);
            QTest::keyClick(find->DBGrid1, Qt::Key_Down);
            if (how == "grid") {
                QTest::keyClick(find->DBGrid1, Qt::Key_Return);
            } else {
                const QRect row = find->DBGrid1->visualRect(find->DBGrid1->model()->index(1, 3));
                QTest::mouseClick(find->DBGrid1->viewport(), Qt::LeftButton, {}, row.center());
                QTest::mouseDClick(find->DBGrid1->viewport(), Qt::LeftButton, {}, row.center());
            }
        }));
        QCOMPARE(frmMain->cardList->fieldByName("姓名"),
                 how == "box" ? QStringLiteral("张三") : QStringLiteral("张伟"));
        QCOMPARE(frmMain->DBGrid1->currentIndex().row(), frmMain->cardList->recNo() - 1);
    }

    // A card the filter hides: every live card is shown first, the filter boxes unticked.
    void aCardHiddenByTheFilterIsShown() {
        m_program->start();
        auto* nameBox = frmMain->findChild<QLineEdit*>("Edit3");
        nameBox->setText(QStringLiteral("李"));
        QTest::mouseClick(frmMain->findChild<QPushButton*>("BitBtn1"), Qt::LeftButton);
        QCOMPARE(frmMain->cardList->recordCount(), 1);
        QVERIFY(inFindWindow(true, [](TfrmFind* find) {
            typeText(find->searchBox, "cxx");
            QTest::keyClick(find->searchBox, Qt::Key_Return);
        }));
        QCOMPARE(frmMain->cardList->recordCount(), 4);
        QVERIFY(frmMain->filter().isEmpty());
        QVERIFY(!frmMain->findChild<QCheckBox*>("CheckBox3")->isChecked());
        QCOMPARE(nameBox->text(), QStringLiteral("李")); // what the user typed stays
        QCOMPARE(frmMain->cardList->fieldByName("姓名"), QStringLiteral("曾小贤"));
        QCOMPARE(frmMain->findChild<QLabel*>("Label1")->text(), QStringLiteral("名片数量：4"));
    }

    // A text that finds very many cards lists the first thousand and says how many there are.
    void manyFoundCardsAreListedInPart() {
        m_program->sql().exec(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1200) "
            "INSERT INTO D_B (theDate, theType, BName, BSex, theDel) "
            "SELECT '2008-01-01', '客户', '周' || i, '男', '否' FROM n");
        m_program->start();
        QVERIFY(inFindWindow(false, [](TfrmFind* find) {
            QTest::keyClick(find->searchBox, Qt::Key_Z);
            QCOMPARE(find->foundCards->recordCount(), 1000);
            QCOMPARE(find->foundCount->text(), QStringLiteral("找到名片：1203（列出前 1000 张）"));
            typeText(find->searchBox, "hou1199");
            QCOMPARE(found(find), QStringList({"周1199"}));
            QCOMPARE(find->foundCount->text(), QStringLiteral("找到名片：1"));
        }));
    }

    void enterWithNothingFoundKeepsTheWindow() {
        m_program->start();
        QVERIFY(inFindWindow(false, [](TfrmFind* find) {
            typeText(find->searchBox, "qqqq");
            QCOMPARE(found(find), QStringList());
            QTest::keyClick(find->searchBox, Qt::Key_Return);
            QVERIFY(find->isVisible());
        }));
        QCOMPARE(frmMain->cardList->fieldByName("姓名"), QStringLiteral("张三"));
    }

private:
    static QStringList found(TfrmFind* find) {
        QStringList names;
        for (int position = 0; position < find->foundCards->recordCount(); ++position) {
            names << find->foundCards->result()->text(find->foundCards->rowAt(position), 3);
        }
        return names;
    }

    // Opens the window with Ctrl+F (or its menu item) and runs steps inside; the window is
    // expected to close by itself when closes is true.
    [[nodiscard]] bool inFindWindow(bool closes, const std::function<void(TfrmFind*)>& steps) {
        auto ran = std::make_shared<bool>(false);
        whenModalShown([=](QWidget* window) {
            auto* find = qobject_cast<TfrmFind*>(window);
            if (!find || !QTest::qWaitForWindowActive(find)) {
                window->close();
                return;
            }
            steps(find);
            *ran = closes ? !find->isVisible() : find->isVisible();
            find->close();
        });
        if (closes) {
            frmMain->findChild<QAction*>("F1")->trigger();
        } else {
            if (!QTest::qWaitForWindowActive(frmMain)) {
                return false;
            }
            QTest::keyClick(frmMain, Qt::Key_F, Qt::ControlModifier);
        }
        return *ran;
    }

    std::unique_ptr<ProgramFixture> m_program;
};

QTEST_MAIN(TestFind)
#include "tst_find.moc"
