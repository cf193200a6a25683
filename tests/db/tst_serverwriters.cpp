// Writers on the server that run into each other or into the server's end: two programs
// adding the same names at once (a card at a time, or importing in groups) store each card once,
// and a server stopped in the middle of an import leaves only whole cards, says so, and is used
// again once it is back.

#include "db/cardstore.h"
#include "db/engineerror.h"
#include "db/pgconnection.h"
#include "db/serverdialect.h"
#include "testserver.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>
#include <thread>

namespace {
constexpr int Names = 2000;

QString nameAt(int i) {
    return QStringLiteral("同名%1").arg(i, 4, 10, QLatin1Char('0'));
}

// Adds a card as the card store does: one statement, one commit, the duplicate rule kept by
// the server. True when it was stored.
bool addCard(PgConnection& server, const QString& name, const QString& phone = QString()) {
    const ServerDialect& d = serverDialect();
    return server.insert(QStringLiteral("insert into D_B(theDate,theType,BName,BSex,BPho,theDel) "
                                        "values('2024-01-01','客户',%1,'男',%2,'否')")
                             .arg(d.literal(name), d.literal(phone)) +
                         d.liveCardConflict()) > 0;
}

// The child program: connects, says it is ready, waits for the go file, adds every name: a
// card at a time ("single"), or as the import does, in groups, from the first name or from
// the last ("import", "import backwards").
int addNamesAsChild(const QString& server, const QString& goFile, const QString& how) {
    CardStore store(std::make_unique<PgConnection>(server));
    auto& connection = static_cast<PgConnection&>(store.engine());
    connection.select(QStringLiteral("select 1"));
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    while (!QFile::exists(goFile)) {
        QThread::msleep(5);
    }
    int stored = 0;
    if (how == u"single") {
        for (int i = 0; i < Names; ++i) {
            stored += addCard(connection, nameAt(i)) ? 1 : 0;
        }
    } else {
        CardStore::ImportBatch batch(store);
        for (int n = 0; n < Names; ++n) {
            const int i = how == u"import backwards" ? Names - 1 - n : n;
            const CardValues card =
                cardValues(QStringLiteral("客户"), nameAt(i), QStringLiteral("男"));
            stored +=
                batch.insertCard(card, QStringLiteral("2024-01-01")).outcome == WriteOutcome::Done
                    ? 1
                    : 0;
        }
        batch.commit();
    }
    std::printf("stored %d\n", stored);
    return 0;
}
} // namespace

class TestServerWriters : public QObject {
    Q_OBJECT

private slots:
    void init() { REQUIRE_TEST_SERVER(); }

    void twoProgramsAddingTheSameNamesStoreEachOnce_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("a card at a time") << QStringLiteral("single") << QStringLiteral("single");
        QTest::newRow("importing in groups")
            << QStringLiteral("import") << QStringLiteral("import backwards");
        QTest::newRow("an import beside single cards")
            << QStringLiteral("import") << QStringLiteral("single");
    }
    void twoProgramsAddingTheSameNamesStoreEachOnce() {
        QFETCH(QString, first);
        QFETCH(QString, second);
        ScratchServerDatabase db;
        PgConnection(db.connectionString()).select(QStringLiteral("select 1")); // the register
        QTemporaryDir folder;
        const QString go = folder.filePath(QStringLiteral("go"));
        QProcess firstChild;
        QProcess secondChild;
        for (QProcess* child : {&firstChild, &secondChild}) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("ORVANE_ADD_NAMES_TO"), db.connectionString());
            env.insert(QStringLiteral("ORVANE_ADD_NAMES_GO"), go);
            env.insert(QStringLiteral("ORVANE_ADD_NAMES_HOW"),
                       child == &firstChild ? first : second);
            child->setProcessEnvironment(env);
            child->start(QCoreApplication::applicationFilePath(), {});
        }
        for (QProcess* child : {&firstChild, &secondChild}) {
            QVERIFY(child->waitForReadyRead(60000));
            QCOMPARE(child->readLine().trimmed(), QByteArray("ready"));
        }
        QFile(go).open(QIODevice::WriteOnly);
        int stored = 0;
        for (QProcess* child : {&firstChild, &secondChild}) {
            QVERIFY(child->waitForFinished(280000));
            QCOMPARE(child->exitCode(), 0);
            const QByteArray line = child->readAll().trimmed();
            QVERIFY2(line.startsWith("stored "), line.constData());
            stored += line.mid(7).toInt();
        }
        QCOMPARE(stored, Names);
        QCOMPARE(db.run(QStringLiteral("select count(*) from D_B")), QString::number(Names));
        QCOMPARE(db.run(QStringLiteral("select count(distinct BName) from D_B")),
                 QString::number(Names));
    }

    void serverStoppedDuringAnImport() {
        PrivateServer own;
        QVERIFY(!own.connectionString().isEmpty());
        ScratchServerDatabase db(own.connectionString());
        PgConnection importer(db.connectionString());
        importer.select(QStringLiteral("select 1"));

        std::atomic<int> reported{0};
        QString failure;
        std::thread import([&] {
            try {
                for (int i = 0; i < 1000000; ++i) {
                    addCard(importer, nameAt(i), QStringLiteral("电话%1").arg(i));
                    reported = i + 1;
                }
            } catch (const EngineError& error) {
                failure = error.message();
            }
        });
        QTRY_VERIFY_WITH_TIMEOUT(reported >= 300, 60000);
        own.stopImmediately();
        import.join();

        QVERIFY2(failure.startsWith(QStringLiteral("与名片服务器的连接断开了（")),
                 qPrintable(failure));
        // The card in flight was one statement and one commit: stored whole or not at all,
        // and the message cannot tell which. A stop that fell between two cards is found
        // before the next one is sent, which then says it was not carried out.
        QVERIFY2(failure.contains(QStringLiteral("无法确定本次的修改是否已经保存")) ||
                     failure.contains(QStringLiteral("这次操作没有执行")),
                 qPrintable(failure));

        QVERIFY(own.start()); // recovers as after a crash
        const int stored = db.run(QStringLiteral("select count(*) from D_B")).toInt();
        QVERIFY2(stored == reported || stored == reported + 1,
                 qPrintable(QStringLiteral("%1 stored, %2 reported").arg(stored).arg(reported)));
        QCOMPARE(db.run(QStringLiteral("select count(*) from D_B where BPho <> '电话' || "
                                       "substr(BName, 3)::int")),
                 QStringLiteral("0"));
        // The importer's own connection is used again.
        QVERIFY(addCard(importer, QStringLiteral("回来了")));
        QCOMPARE(db.run(QStringLiteral("select count(*) from D_B")).toInt(), stored + 1);
    }
};

int main(int argc, char** argv) {
    const QString server = qEnvironmentVariable("ORVANE_ADD_NAMES_TO");
    if (!server.isEmpty()) {
        QCoreApplication app(argc, argv);
        return addNamesAsChild(server, qEnvironmentVariable("ORVANE_ADD_NAMES_GO"),
                               qEnvironmentVariable("ORVANE_ADD_NAMES_HOW"));
    }
    QCoreApplication app(argc, argv);
    TestServerWriters test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_serverwriters.moc"
