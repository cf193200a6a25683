// An import into a server register cut off at random moments by another process: the
// importer's server process ended (pg_terminate_backend through psql), or the whole server
// stopped as a crash stops it. Every time, the cards on the server are exactly the cards the
// import's report says were stored: the first rows of the sheet, each once and whole, and the
// list shows them.

#include "app/program.h"
#include "db/clock.h"
#include "db/pgconnection.h"
#include "db/query.h"
#include "testserver.h"
#include "testsupport.h"
#include "ui/common/messages.h"
#include "ui/exchange/importwindow.h"
#include "ui/main/mainwindow.h"

#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <thread>

namespace {
constexpr int Rows = 6000;
constexpr int Runs = 10;

const QStringList CardHeaders = {
    "分类",     "姓名",     "性别",     "固定电话", "移动电话", "电子邮箱", "QQ号码",   "MSN号码",
    "阿里旺旺", "描述",     "省份",     "城市",     "单位名称", "所在部门", "担任职务", "单位地址",
    "单位电话", "单位传真", "邮政编码", "单位网站", "家庭地址", "家庭电话", "家属姓名", "补充信息"};

QString nameAt(int row) {
    return QStringLiteral("卡%1").arg(row, 5, 10, QLatin1Char('0'));
}

// Rows whose every field says which row it is, so that a card written half shows.
void writeNumberedSheet(const QString& path) {
    QList<QStringList> rows;
    for (int row = 0; row < Rows; ++row) {
        QStringList card(CardHeaders.size(), QString::number(row));
        card[0] = QStringLiteral("客户");
        card[1] = nameAt(row);
        card[2] = QStringLiteral("男");
        rows << card;
    }
    writeSheet(path, CardHeaders, rows);
}

// What the import said it stored: the count in its error or in its report.
int reportedCards() {
    static const QRegularExpression stopped(QStringLiteral("有 (\\d+) 张名片已经保存"));
    static const QRegularExpression finished(QStringLiteral("新增名片 (\\d+) 张"));
    for (qsizetype i = Messages::shown().size() - 1; i >= 0; --i) {
        const QString text = Messages::shown()[i].text;
        for (const QRegularExpression* pattern : {&stopped, &finished}) {
            const QRegularExpressionMatch match = pattern->match(text);
            if (match.hasMatch()) {
                return match.captured(1).toInt();
            }
        }
    }
    return -1;
}

// The import window opened from the main window, the sheet opened and imported (started
// told just before 导入 is pressed); the window is closed once the import has said how it
// ended.
void importSheet(const QString& path, const std::function<void()>& started) {
    whenModalShown([path, started](QWidget* modal) {
        auto* window = qobject_cast<TfrmInData*>(modal);
        if (!window) {
            return;
        }
        Messages::queueFileName(path);
        QTest::mouseClick(window->openButton, Qt::LeftButton);
        started();
        QTest::mouseClick(window->importButton, Qt::LeftButton);
        if (window->isVisible()) {
            window->close();
        }
    });
    QTest::mouseClick(frmMain->findChild<QToolButton*>(QStringLiteral("SpeedButton7")),
                      Qt::LeftButton);
}

// Runs psql with one statement on the database (another process than the program's).
void psql(const QString& connectionString, const QString& sql) {
    QProcess::execute(QStringLiteral("psql"),
                      {QStringLiteral("-qAtX"), connectionString, QStringLiteral("-c"), sql});
}
} // namespace

class TestImportFaults : public QObject {
    Q_OBJECT

private slots:
    void init() {
        REQUIRE_TEST_SERVER();
        Messages::setScripted(true);
        Messages::clearRecord();
        Clock::setFixedToday(QDate(2008, 3, 7));
        writeNumberedSheet(m_dir.filePath(QStringLiteral("cards.xlsx")));
    }
    void cleanup() { Clock::setFixedToday(QDate()); }

    void cutOffAtRandomMoments_data() {
        QTest::addColumn<bool>("serverStops");
        QTest::newRow("the importer's server process ended") << false;
        QTest::newRow("the server stopped as by a crash") << true;
    }
    void cutOffAtRandomMoments() {
        QFETCH(bool, serverStops);
        std::unique_ptr<PrivateServer> own;
        if (serverStops) {
            own = std::make_unique<PrivateServer>();
        }
        const QString server = own ? own->connectionString() : testServerConnectionString();
        for (int run = 0; run < Runs; ++run) {
            ScratchServerDatabase database(server);
            PgConnection(database.connectionString()).select(QStringLiteral("select 1"));
            const int delayMs = QRandomGenerator::global()->bounded(0, 600);
            std::thread cutter;
            const auto cut = [&] {
                QThread::msleep(ulong(delayMs));
                if (own) {
                    own->stopImmediately();
                } else {
                    psql(database.connectionString(),
                         QStringLiteral("select pg_terminate_backend(pid) from pg_stat_activity "
                                        "where datname = current_database() and "
                                        "application_name = 'orvane-cards' and state <> 'idle'"));
                }
            };
            Messages::clearRecord();
            int reported = -1;
            {
                Program program(TfrmMain::FirstList::BeforeShowing, database.connectionString());
                frmMain->show();
                importSheet(m_dir.filePath(QStringLiteral("cards.xlsx")),
                            [&] { cutter = std::thread(cut); });
                cutter.join();
                if (own) {
                    QVERIFY(own->start());
                }
                reported = reportedCards();
                QVERIFY2(reported >= 0, qPrintable(lastErrorText()));
                const int stored = database.run(QStringLiteral("select count(*) from D_B")).toInt();
                qInfo("run %d, cut %d ms into the import: %d reported, %d stored", run, delayMs,
                      reported, stored);
                QCOMPARE(stored, reported);
                // The list shows the cards stored (after a stop, once the program is back).
                QTRY_COMPARE_WITH_TIMEOUT(frmMain->cardList->recordCount(), reported, 20000);
                Messages::queueAnswer(true);
                frmMain->close();
            }
            const int stored = reported;
            // The first rows of the sheet, each once and whole.
            QCOMPARE(database.run(QStringLiteral("select count(distinct BName) from D_B")),
                     QString::number(stored));
            QCOMPARE(database.run(
                         QStringLiteral(
                             "select count(*) from D_B where BName <> '卡' || lpad(BPho, 5, '0') "
                             "or substr(BName, 2)::int >= %1 or FDes <> BPho")
                             .arg(stored)),
                     QStringLiteral("0"));
        }
    }

private:
    QTemporaryDir m_dir;
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TestImportFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_importfaults.moc"
