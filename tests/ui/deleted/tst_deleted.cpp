// The deleted cards window through the main window's pop-up menu on the real engine: the list
// of deleted cards, "恢复" with its duplicate rule, the main list following, and "彻底删除"
// of one card or of all, with their visits.

#include "db/query.h"
#include "testsupport.h"
#include "ui/common/datagrid.h"
#include "ui/common/messages.h"
#include "ui/deleted/deletedwindow.h"
#include "ui/main/mainwindow.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>

class TestDeleted : public QObject {
    Q_OBJECT

private slots:
    void init() { m_program = std::make_unique<ProgramFixture>(); }
    void cleanup() { m_program.reset(); }

    void listsOnlyTheDeletedCards() {
        DirectSql& sql = m_program->sql();
        insertCard(sql, "客户", "活的", "男");
        deleteCard(insertCard(sql, "客户", "删一", "女"));
        deleteCard(insertCard(sql, "朋友", "删二", "男"));
        m_program->start();
        QVERIFY(inDeletedWindow([](TfrmDeleted* window) {
            QCOMPARE(window->windowTitle(), QStringLiteral("已删除名片"));
            QCOMPARE(window->findChild<QLabel*>("Label1")->text(),
                     QStringLiteral("已删除名片数量：2"));
            QCOMPARE(window->deletedList->fieldByName("姓名"), QStringLiteral("删二"));
            QVERIFY(window->DBGrid1->isColumnHidden(0));
            window->deletedList->next();
            QCOMPARE(window->deletedList->fieldByName("姓名"), QStringLiteral("删一"));
        }));
    }

    // 恢复 sets the current card live again unless a live card with the same category, name
    // and sex exists; the row and its visits never leave the file.
    void restore_data() {
        QTest::addColumn<QString>("liveTwin"); // the name of a live card of the same kind
        QTest::addColumn<bool>("restored");
        QTest::newRow("no live twin") << QString() << true;
        QTest::newRow("a live twin") << QStringLiteral("张'三") << false;
        QTest::newRow("a live card of another name") << QStringLiteral("李四") << true;
    }
    void restore() {
        QFETCH(QString, liveTwin);
        QFETCH(bool, restored);
        DirectSql& sql = m_program->sql();
        const QString id = insertCard(sql, "客户", "张'三", "男");
        insertVisit(sql, id, "2008-01-01", "电话", "a");
        deleteCard(id);
        if (!liveTwin.isEmpty()) {
            insertCard(sql, "客户", liveTwin, "男");
        }
        m_program->start();
        const int listedBefore = frmMain->cardList->recordCount();

        QVERIFY(inDeletedWindow([&](TfrmDeleted* window) {
            QTest::mouseClick(window->findChild<QPushButton*>("BitBtn1"), Qt::LeftButton);
            QCOMPARE(window->findChild<QLabel*>("Label1")->text(),
                     restored ? QStringLiteral("已删除名片数量：0")
                              : QStringLiteral("已删除名片数量：1"));
            // The main list behind already shows the restored card.
            QCOMPARE(frmMain->cardList->recordCount(), listedBefore + (restored ? 1 : 0));
        }));
        if (restored) {
            QVERIFY(Messages::shown().isEmpty());
        } else {
            QCOMPARE(Messages::shown().size(), 1);
            QCOMPARE(Messages::shown().last().kind, Messages::Kind::Plain);
            QCOMPARE(Messages::shown().last().text, QStringLiteral("客户 张'三 男 已经存在！"));
        }
        QCOMPARE(sql.scalar("select theDel from D_B where ID=" + id),
                 restored ? QStringLiteral("否") : QStringLiteral("是"));
        QCOMPARE(sql.count("select ID from D_B"), liveTwin.isEmpty() ? 1 : 2);
        QCOMPARE(sql.count("select ID from DList"), 1);
        QCOMPARE(frmMain->findChild<QLabel*>("Label5")->text(),
                 restored ? QStringLiteral("拜访次数：1") : QStringLiteral("拜访次数：0"));
    }

    void restoreOnAnEmptyListDoesNothing() {
        insertCard(m_program->sql(), "客户", "活的", "男");
        m_program->start();
        QVERIFY(inDeletedWindow([](TfrmDeleted* window) {
            QTest::mouseClick(window->findChild<QPushButton*>("BitBtn1"), Qt::LeftButton);
            QCOMPARE(window->findChild<QLabel*>("Label1")->text(),
                     QStringLiteral("已删除名片数量：0"));
            QVERIFY(window->isVisible());
        }));
        QVERIFY(Messages::shown().isEmpty());
        QCOMPARE(m_program->sql().scalar("select theDel from D_B"), QStringLiteral("否"));
    }

    // 彻底删除 asks, naming the card and its visits, then removes the card and its visits and
    // nothing else; 全部彻底删除 removes every deleted card. No leaves everything.
    void purge_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QStringList>("left"); // the cards in the file after it, by name
        QTest::newRow("one card")
            << "BitBtn3" << true
            << "确定要彻底删除名片 删二 吗？名片和它的 2 条拜访记录将从数据文件中删除，不能恢复。"
            << QStringList{"活的", "删一"};
        QTest::newRow("one card, No")
            << "BitBtn3" << false
            << "确定要彻底删除名片 删二 吗？名片和它的 2 条拜访记录将从数据文件中删除，不能恢复。"
            << QStringList{"活的", "删一", "删二"};
        QTest::newRow("all")
            << "BitBtn4" << true
            << "确定要彻底删除全部 2 张已删除的名片吗？这些名片和它们的拜访记录将从"
               "数据文件中删除，不能恢复。"
            << QStringList{"活的"};
        QTest::newRow("all, No") << "BitBtn4" << false
                                 << "确定要彻底删除全部 2 张已删除的名片吗？这些名片和它们的拜访"
                                    "记录将从数据文件中删除，不能恢复。"
                                 << QStringList{"活的", "删一", "删二"};
    }
    void purge() {
        QFETCH(QString, button);
        QFETCH(bool, yes);
        QFETCH(QString, question);
        QFETCH(QStringList, left);
        DirectSql& sql = m_program->sql();
        const QString live = insertCard(sql, "客户", "活的", "男");
        const QString first = insertCard(sql, "客户", "删一", "女");
        const QString second = insertCard(sql, "朋友", "删二", "男");
        insertVisit(sql, live, "2008-01-01", "电话", "活的");
        insertVisit(sql, first, "2008-01-01", "电话", "删一");
        insertVisit(sql, second, "2008-01-01", "电话", "删二");
        insertVisit(sql, second, "2008-01-02", "上门", "删二");
        deleteCard(first);
        deleteCard(second);
        m_program->start();
        Messages::queueAnswer(yes);
        QVERIFY(inDeletedWindow([&](TfrmDeleted* window) {
            QTest::mouseClick(window->findChild<QPushButton*>(button), Qt::LeftButton);
            QCOMPARE(window->findChild<QLabel*>("Label1")->text(),
                     QStringLiteral("已删除名片数量：%1").arg(left.size() - 1));
        }));
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown().last().caption, QStringLiteral("彻底删除"));
        QCOMPARE(Messages::shown().last().text, question);
        QVERIFY(!Messages::shown().last().yesIsDefault);
        QStringList names;
        for (int i = 0; i < sql.count("select ID from D_B"); ++i) {
            names << sql.scalar(
                QStringLiteral("select BName from D_B order by ID limit 1 offset %1").arg(i));
        }
        QCOMPARE(names, left);
        // The visits go with their cards, and only theirs.
        QCOMPARE(sql.count("select ID from DList where DID not in (select ID from D_B)"), 0);
        QCOMPARE(sql.count("select ID from DList where DID=" + live), 1);
    }

    // A card restored by another program after the list was read is not removed.
    void purgeLeavesACardRestoredMeanwhile() {
        DirectSql& sql = m_program->sql();
        const QString id = insertCard(sql, "客户", "张三", "男");
        deleteCard(id);
        m_program->start();
        Messages::queueAnswer(true);
        QVERIFY(inDeletedWindow([&](TfrmDeleted* window) {
            sql.exec("update D_B set theDel='否' where ID=" + id);
            QTest::mouseClick(window->findChild<QPushButton*>("BitBtn3"), Qt::LeftButton);
            QCOMPARE(window->findChild<QLabel*>("Label1")->text(),
                     QStringLiteral("已删除名片数量：0"));
        }));
        QCOMPARE(Messages::shown().last().text,
                 QStringLiteral("该名片已不在已删除名片中，没有删除。"));
        QCOMPARE(sql.scalar("select theDel from D_B where ID=" + id), QStringLiteral("否"));
    }

private:
    void deleteCard(const QString& id) {
        m_program->sql().exec("update D_B set theDel='是' where ID=" + id);
    }

    // Opens the window from the pop-up menu and runs steps inside it, then closes it.
    [[nodiscard]] bool inDeletedWindow(const std::function<void(TfrmDeleted*)>& steps) {
        auto ran = std::make_shared<bool>(false);
        whenModalShown([steps, ran](QWidget* window) {
            auto* deleted = qobject_cast<TfrmDeleted*>(window);
            if (deleted) {
                *ran = true;
                steps(deleted);
            }
            window->close();
        });
        frmMain->findChild<QAction*>("R1")->trigger();
        return *ran;
    }

    std::unique_ptr<ProgramFixture> m_program;
};

QTEST_MAIN(TestDeleted)
#include "tst_deleted.moc"
