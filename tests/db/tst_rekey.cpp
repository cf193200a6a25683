// The user's own key of the card file: set, changed and removed in place, refused while
// another program has the file open, and never half done. A copy of this test program
// re-keys the file back and forth and is killed at random points: after every kill the file
// opens with one of the two keys and holds every card.

#include "db/cardpassword.h"
#include "db/cipherfile.h"
#include "db/connectionsettings.h"
#include "db/engineerror.h"
#include "db/sqlcipherconnection.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <sqlite3.h>

namespace {
const char* const ChildVariable = "ORVANE_REKEY_CHILD";
const QByteArray KeyA = "甲-first key";
const QByteArray KeyB = "乙 \"second\" key;";

// The cards and visits of the file as one text, or "" when key does not open it.
QByteArray contents(const QString& path, const QByteArray& key) {
    sqlite3* db = nullptr;
    QByteArray text;
    if (openCardFile(QFile::encodeName(path), key, SQLITE_OPEN_READWRITE, {}, &db) == SQLITE_OK) {
        for (const char* sql : {"PRAGMA integrity_check",
                                "SELECT group_concat(ID||'/'||BName||'/'||ifnull(BMob,''),';') "
                                "FROM (SELECT * FROM D_B ORDER BY ID)",
                                "SELECT group_concat(ID||'/'||DID||'/'||LMemo,';') "
                                "FROM (SELECT * FROM DList ORDER BY ID)"}) {
            sqlite3_stmt* stmt = nullptr;
            sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
            if (sqlite3_step(stmt) == SQLITE_ROW) {
                text += reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            }
            text += '|';
            sqlite3_finalize(stmt);
        }
    }
    sqlite3_close_v2(db);
    return text;
}

QByteArray fileHash(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1);
}

// The child: re-keys the file from whichever key opens it to the other, over and over.
int rekeyForever(const QString& path) {
    std::printf("started\n");
    std::fflush(stdout);
    for (;;) {
        const bool onA = !contents(path, KeyA).isEmpty();
        const int rc = rekeyCardFile(path, onA ? KeyA : KeyB, onA ? KeyB : KeyA);
        if (rc != SQLITE_OK) {
            std::fprintf(stderr, "re-keying failed: %d\n", rc);
            return 1;
        }
    }
}
} // namespace

class TestRekey : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_db = std::make_unique<ScratchDatabase>();
        DirectSql sql(m_db->connectionString());
        sql.exec(QStringLiteral("BEGIN"));
        for (int i = 0; i < 300; ++i) {
            const QString id = insertCard(sql, QStringLiteral("客户"),
                                          QStringLiteral("卡%1").arg(i), QStringLiteral("男"));
            insertVisit(sql, id, QStringLiteral("2008-03-01"), QStringLiteral("电话"),
                        QStringLiteral("第%1次").arg(i));
        }
        sql.exec(QStringLiteral("COMMIT"));
    }
    void cleanup() { setDatabasePassword(QString()); }

    // Set, changed, removed: each time the file opens with the new key only, holds what it
    // held, and the connection goes on with the new key.
    void setChangeRemove() {
        const QString path = m_db->databasePath();
        const QByteArray cards = contents(path, databasePassword().toUtf8());
        SqlCipherConnection connection;
        connection.setConnectionString(m_db->connectionString());
        connection.select(QStringLiteral("select count(*) from D_B")); // open, as the program is
        for (const QString& password :
             {QStringLiteral("我的密码 1"), QStringLiteral("another \"one\";"), QString()}) {
            const QString before = databasePassword();
            changeCardPassword(connection, password);
            const QString key = password.isEmpty() ? builtInDatabasePassword() : password;
            QCOMPARE(databasePassword(), key);
            QCOMPARE(contents(path, key.toUtf8()), cards);
            QCOMPARE(contents(path, before.toUtf8()), QByteArray());
            QCOMPARE(connection.select(QStringLiteral("select ID from D_B"))->rowCount(), 300);
            QVERIFY(!QFile::exists(path + QStringLiteral(".rekey")));
        }
    }

    // While another program has the file open, nothing changes, and the box says why.
    void refusedWhileAnotherProgramHasTheFile() {
        DirectSql other(m_db->connectionString());
        QCOMPARE(other.count(QStringLiteral("select ID from D_B")), 300);
        const QByteArray before = fileHash(m_db->databasePath());
        SqlCipherConnection connection;
        connection.setConnectionString(m_db->connectionString());
        try {
            changeCardPassword(connection, QStringLiteral("secret"));
            QFAIL("the change should have been refused");
        } catch (const EngineError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("另一个程序正在使用")),
                     qPrintable(e.message()));
        }
        QCOMPARE(databasePassword(), builtInDatabasePassword());
        QCOMPARE(other.count(QStringLiteral("select ID from D_B")), 300);
        QCOMPARE(fileHash(m_db->databasePath()), before);
    }

    // A wrong key is only ever tried: the file keeps every byte, and the right key still
    // opens it.
    void aWrongKeyLeavesTheFileAlone() {
        const QString path = m_db->databasePath();
        QVERIFY(rekeyCardFile(path, builtInDatabasePassword().toUtf8(), KeyA) == SQLITE_OK);
        const QByteArray before = fileHash(path);
        QCOMPARE(SqlCipherConnection::checkKey(path, QStringLiteral("wrong")),
                 SqlCipherConnection::KeyCheck::WrongKey);
        QCOMPARE(SqlCipherConnection::checkKey(path, builtInDatabasePassword()),
                 SqlCipherConnection::KeyCheck::WrongKey);
        QCOMPARE(fileHash(path), before);
        QCOMPARE(SqlCipherConnection::checkKey(path, QString::fromUtf8(KeyA)),
                 SqlCipherConnection::KeyCheck::Opens);
    }

    // Killed anywhere during a change, the file opens with the old key or the new one and
    // holds every card and visit.
    void killedAnywhereTheFileOpensWithOneKey() {
        const QString path = m_db->databasePath();
        QVERIFY(rekeyCardFile(path, builtInDatabasePassword().toUtf8(), KeyA) == SQLITE_OK);
        const QByteArray cards = contents(path, KeyA);
        QVERIFY(cards.contains("卡299"));

        // How long one change takes here, so that the kills fall all over it.
        QElapsedTimer clock;
        clock.start();
        QVERIFY(rekeyCardFile(path, KeyA, KeyB) == SQLITE_OK);
        QVERIFY(rekeyCardFile(path, KeyB, KeyA) == SQLITE_OK);
        const qint64 change = std::max<qint64>(clock.elapsed() / 2, 20);

        constexpr int Kills = 60;
        int onA = 0;
        int onB = 0;
        int strays = 0;
        for (int kill = 0; kill < Kills; ++kill) {
            QProcess child;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QString::fromLatin1(ChildVariable), path);
            child.setProcessEnvironment(environment);
            child.start(QCoreApplication::applicationFilePath(), {});
            QVERIFY(child.waitForStarted());
            QVERIFY(child.waitForReadyRead(30000));
            QTest::qSleep(int(QRandomGenerator::global()->bounded(change * 3)));
            ::kill(pid_t(child.processId()), SIGKILL);
            child.waitForFinished();
            QVERIFY2(child.exitStatus() == QProcess::CrashExit,
                     child.readAllStandardError().constData());

            strays += QFile::exists(path + QStringLiteral(".rekey")) ? 1 : 0;
            const QByteArray withA = contents(path, KeyA);
            const QByteArray withB = contents(path, KeyB);
            QVERIFY2(withA.isEmpty() != withB.isEmpty(), qPrintable(QString::number(kill)));
            QCOMPARE(withA.isEmpty() ? withB : withA, cards);
            (withA.isEmpty() ? onB : onA) += 1;
        }
        qInfo("re-keying killed %d times at random points within %lld ms: the file opened with "
              "key A %d times and with key B %d times, never with both or neither, every card "
              "and visit present each time; a stray copy was left %d times",
              Kills, static_cast<long long>(change * 3), onA, onB, strays);
        QCOMPARE(onA + onB, Kills);
    }

private:
    std::unique_ptr<ScratchDatabase> m_db;
};

int main(int argc, char** argv) {
    const QString child = qEnvironmentVariable(ChildVariable);
    if (!child.isEmpty()) {
        return rekeyForever(child);
    }
    QCoreApplication app(argc, argv);
    TestRekey test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_rekey.moc"
