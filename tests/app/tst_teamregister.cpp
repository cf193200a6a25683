// The program on a server register, as a team uses it: another program's changes show in the
// list by themselves, keeping the sort and the current card; a server that goes away (or is
// away at start-up) is told in one box, the list stays read-only, and the program comes back
// by itself once the server does.

#include "app/program.h"
#include "db/cardstore.h"
#include "db/changewatcher.h"
#include "db/clock.h"
#include "db/pgconnection.h"
#include "db/query.h"
#include "testserver.h"
#include "testsupport.h"
#include "ui/common/backgroundtask.h"
#include "ui/common/messages.h"
#include "ui/main/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <csignal>

namespace {
CardValues card(const QString& name) {
    return cardValues(QStringLiteral("客户"), name, QStringLiteral("男"));
}

// A card added by another program (the register made first where it is not yet).
void addCard(const QString& server, const QString& name) {
    PgConnection(server).select(QStringLiteral("select 1"));
    ServerSession(server).run(QStringLiteral("insert into D_B(theDate,theType,BName,BSex,theDel) "
                                             "values('2008-03-01','客户','%1','男','否')")
                                  .arg(name));
}

// The values of a column of the list, in the order shown.
QStringList column(const QString& name) {
    QStringList values;
    Query* list = frmMain->cardList;
    const int c = list->result()->columnIndex(name);
    for (int position = 0; position < list->recordCount(); ++position) {
        values << list->result()->text(list->rowAt(position), c);
    }
    return values;
}

QStringList errorBoxes() {
    QStringList texts;
    for (const Messages::Shown& shown : Messages::shown()) {
        if (shown.kind == Messages::Kind::Error) {
            texts << shown.text;
        }
    }
    return texts;
}

QString currentName() {
    return frmMain->cardList->fieldByName(QStringLiteral("姓名"));
}

void moveTo(const QString& name) {
    Query* list = frmMain->cardList;
    for (list->first(); !list->eof(); list->next()) {
        if (currentName() == name) {
            return;
        }
    }
    QFAIL("no such card in the list");
}

bool writable() {
    return frmMain->findChild<QAction*>(QStringLiteral("N1"))->isEnabled() &&
           frmMain->findChild<QToolButton*>(QStringLiteral("SpeedButton1"))->isEnabled();
}

// Waits long enough for the change listener to try the server again.
constexpr int BackWithinMs = 3 * ChangeWatcher::RetryMs + 5000;
} // namespace

class TestTeamRegister : public QObject {
    Q_OBJECT

private slots:
    void init() {
        REQUIRE_TEST_SERVER();
        Messages::setScripted(true);
        Messages::clearRecord();
        Clock::setFixedToday(QDate(2008, 3, 7));
    }
    void cleanup() { Clock::setFixedToday(QDate()); }

    void anotherProgramsChangesShowAtOnce() {
        ScratchServerDatabase database;
        CardStore other(std::make_unique<PgConnection>(database.connectionString()));
        const qint64 zhang = other.insertCard(card(QStringLiteral("张三")), "2008-03-01").id;
        const qint64 li = other.insertCard(card(QStringLiteral("李四")), "2008-03-02").id;

        Program program(TfrmMain::FirstList::BeforeShowing, database.connectionString());
        frmMain->show();
        const QString name = PgConnection(database.connectionString()).registerName();
        QVERIFY(frmMain->windowTitle().endsWith(name));
        QCOMPARE(frmMain->findChild<QLabel*>(QStringLiteral("RegisterLabel"))->text(), name);
        QVERIFY(!frmMain->findChild<QAction*>(QStringLiteral("P1"))->isEnabled());
        QCOMPARE(frmMain->cardList->recordCount(), 2);
        frmMain->cardList->setSort(QStringLiteral("姓名 DESC"));
        moveTo(QStringLiteral("张三"));

        // Another program: a session of its own, not one of this program's.
        ServerSession another(database.connectionString());
        another.run(QStringLiteral("insert into D_B(theDate,theType,BName,BSex,theDel) "
                                   "values('2008-03-03','客户','王五','男','否')"));
        QTRY_COMPARE_WITH_TIMEOUT(frmMain->cardList->recordCount(), 3, 2000);
        QCOMPARE(frmMain->cardList->sort(), QStringLiteral("姓名 DESC"));
        QCOMPARE(currentName(), QStringLiteral("张三"));
        QCOMPARE(column(QStringLiteral("姓名")), QStringList({"张三", "王五", "李四"}));

        another.run(QStringLiteral("update D_B set theDel='是' where ID=%1").arg(li));
        QTRY_COMPARE_WITH_TIMEOUT(frmMain->cardList->recordCount(), 2, 2000);
        QCOMPARE(column(QStringLiteral("姓名")), QStringList({"张三", "王五"}));
        QCOMPARE(currentName(), QStringLiteral("张三"));
        QCOMPARE(frmMain->cardList->fieldByName(QStringLiteral("ID")).toLongLong(), zhang);
        QCOMPARE(errorBoxes(), QStringList());
        Messages::queueAnswer(true);
        frmMain->close();
    }

    // A server that does not answer (a lock another program holds, or the program's own
    // server process stopped): the window keeps answering, says it waits, and 取消 ends the
    // wait with a message that nothing was saved.
    void aStalledServerKeepsTheWindowAnswering_data() {
        QTest::addColumn<bool>("processStopped");
        QTest::newRow("a lock held by another program") << false;
        QTest::newRow("the server process stopped") << true;
    }
    void aStalledServerKeepsTheWindowAnswering() {
        QFETCH(bool, processStopped);
        ScratchServerDatabase database;
        addCard(database.connectionString(), QStringLiteral("张三"));
        Program program(TfrmMain::FirstList::BeforeShowing, database.connectionString());
        frmMain->show();
        QCOMPARE(frmMain->cardList->recordCount(), 1);

        ServerSession holder(database.connectionString());
        int stopped = 0;
        if (processStopped) {
            stopped = holder
                          .run(QStringLiteral(
                              "select pid from pg_stat_activity where datname = current_database() "
                              "and application_name = 'orvane-cards' and query not like 'LISTEN%'"))
                          .toInt();
            QVERIFY(stopped > 0);
            QCOMPARE(::kill(stopped, SIGSTOP), 0);
        } else {
            holder.run(QStringLiteral("BEGIN; LOCK TABLE D_B IN ACCESS EXCLUSIVE MODE"));
        }

        // A probe on the window's thread, and a user who presses 取消 once the wait shows.
        QElapsedTimer sinceTick;
        qint64 longestGap = 0;
        QString waitingText;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            longestGap = std::max(longestGap, sinceTick.restart());
            QProgressDialog* dialog = BackgroundTask::dialog();
            if (dialog && waitingText.isEmpty()) {
                waitingText = dialog->labelText();
                for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
                    if (button->text() == QStringLiteral("取消")) {
                        QTest::mouseClick(button, Qt::LeftButton);
                    }
                }
            }
        });
        sinceTick.start();
        probe.start(20);
        Messages::queueAnswer(true);
        QTest::mouseClick(frmMain->findChild<QToolButton*>(QStringLiteral("SpeedButton3")),
                          Qt::LeftButton);
        probe.stop();
        if (processStopped) {
            ::kill(stopped, SIGCONT);
        } else {
            holder.run(QStringLiteral("ROLLBACK"));
        }

        QCOMPARE(waitingText, QStringLiteral("正在等待服务器…"));
        QVERIFY2(longestGap < 1000, qPrintable(QString::number(longestGap)));
        const QStringList errors = errorBoxes();
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().startsWith(QStringLiteral("已取消等待名片服务器")) &&
                     errors.first().contains(QStringLiteral("没有保存")),
                 qPrintable(errors.first()));
        QTRY_COMPARE_WITH_TIMEOUT(database.run(QStringLiteral("select theDel from D_B")),
                                  QStringLiteral("否"), 5000);
        QCOMPARE(frmMain->cardList->recordCount(), 1);
        Messages::queueAnswer(true);
        frmMain->close();
    }

    void serverAwayMidWorkAndBack() {
        REQUIRE_TEST_SERVER();
        PrivateServer server;
        ScratchServerDatabase database(server.connectionString());
        addCard(database.connectionString(), QStringLiteral("张三"));
        Program program(TfrmMain::FirstList::BeforeShowing, database.connectionString());
        frmMain->show();
        QCOMPARE(frmMain->cardList->recordCount(), 1);
        QVERIFY(writable());

        server.stopImmediately();
        QTRY_VERIFY_WITH_TIMEOUT(frmMain->readOnly(), 10000);
        QCOMPARE(errorBoxes().size(), 1);
        QVERIFY2(errorBoxes().first().startsWith(QStringLiteral("与名片服务器的连接断开了（")),
                 qPrintable(errorBoxes().first()));
        QVERIFY(!writable());
        QVERIFY(frmMain->windowTitle().endsWith(QStringLiteral("（连接已断开，只读）")));
        QVERIFY(frmMain->findChild<QLabel*>(QStringLiteral("RegisterLabel"))
                    ->text()
                    .endsWith(QStringLiteral("（连接已断开，只读）")));
        QCOMPARE(frmMain->cardList->recordCount(), 1); // the last list stays

        QVERIFY(server.start());
        QTRY_VERIFY_WITH_TIMEOUT(!frmMain->readOnly(), BackWithinMs);
        QVERIFY(writable());
        QCOMPARE(errorBoxes().size(), 1);
        QCOMPARE(program.store().insertCard(card(QStringLiteral("李四")), "2008-03-07").outcome,
                 WriteOutcome::Done);
        QTRY_COMPARE_WITH_TIMEOUT(frmMain->cardList->recordCount(), 2, 2000);
        Messages::queueAnswer(true);
        frmMain->close();
    }

    void serverAwayAtStartUp() {
        REQUIRE_TEST_SERVER();
        PrivateServer server;
        ScratchServerDatabase database(server.connectionString());
        addCard(database.connectionString(), QStringLiteral("张三"));
        server.stopImmediately();

        // As the program starts: the list is read once the window has been painted.
        Program program(TfrmMain::FirstList::AfterFirstPaint, database.connectionString());
        frmMain->show();
        QTRY_VERIFY_WITH_TIMEOUT(frmMain->startupDone(), 10000);
        QVERIFY(frmMain->readOnly());
        QCOMPARE(errorBoxes().size(), 1);
        QVERIFY2(errorBoxes().first().startsWith(QStringLiteral("无法连接名片服务器")),
                 qPrintable(errorBoxes().first()));
        QVERIFY(!writable());

        QVERIFY(server.start());
        QTRY_VERIFY_WITH_TIMEOUT(!frmMain->readOnly(), BackWithinMs);
        QTRY_COMPARE_WITH_TIMEOUT(
            frmMain->cardList->active() ? frmMain->cardList->recordCount() : -1, 1, 5000);
        QVERIFY(writable());
        QCOMPARE(errorBoxes().size(), 1);
        Messages::queueAnswer(true);
        frmMain->close();
    }
};

QTEST_MAIN(TestTeamRegister)
#include "tst_teamregister.moc"
