// The deleted cards window through the main window's pop-up menu on the real engine: the list
// of deleted cards, "恢复" with its duplicate rule, and the main list following.

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
            QCOMPARE(window->Label1->text(), QStringLiteral("已删除名片数量：2"));
            QCOMPARE(window->ADOQuery1->fieldByName("姓名"), QStringLiteral("删二"));
            QVERIFY(window->DBGrid1->isColumnHidden(0));
            window->ADOQuery1->next();
            QCOMPARE(window->ADOQuery1->fieldByName("姓名"), QStringLiteral("删一"));
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
        const int listedBefore = frmMain->ADOQuery1->recordCount();

        QVERIFY(inDeletedWindow([&](TfrmDeleted* window) {
            QTest::mouseClick(window->BitBtn1, Qt::LeftButton);
            QCOMPARE(window->Label1->text(), restored ? QStringLiteral("已删除名片数量：0")
                                                      : QStringLiteral("已删除名片数量：1"));
            // The main list behind already shows the restored card.
            QCOMPARE(frmMain->ADOQuery1->recordCount(), listedBefore + (restored ? 1 : 0));
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
            QTest::mouseClick(window->BitBtn1, Qt::LeftButton);
            QCOMPARE(window->Label1->text(), QStringLiteral("已删除名片数量：0"));
            QVERIFY(window->isVisible());
        }));
        QVERIFY(Messages::shown().isEmpty());
        QCOMPARE(m_program->sql().scalar("select theDel from D_B"), QStringLiteral("否"));
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
