// The engine layer through the real SQLCipher engine on a scratch copy of the delivered
// database: opening and its failures, statements in the file's dialect, the open result and
// its in-memory sort, and the waits for another program's write lock. The card store's
// behaviour over this engine is tested in tst_cardstore.

#include "db/connectionsettings.h"
#include "db/connectionstring.h"
#include "db/engineerror.h"
#include "db/filedialect.h"
#include "db/query.h"
#include "db/sqlcipherconnection.h"
#include "db/sqltext.h"
#include "testsupport.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>
#include <unistd.h>

class TestEngine : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_db = std::make_unique<ScratchDatabase>();
        m_connection = std::make_unique<SqlCipherConnection>();
        m_connection->setConnectionString(m_db->connectionString());
    }

    void connectionStringIsParsed() {
        const ConnectionString parsed = ConnectionString::parse(m_db->connectionString());
        QCOMPARE(parsed.value(QStringLiteral("data source")), m_db->databasePath());
        QCOMPARE(parsed.value(QStringLiteral("Jet OLEDB:Database Password")), databasePassword());
        QCOMPARE(parsed.value(QStringLiteral("Mode")), QStringLiteral("Share Deny None"));
        QCOMPARE(parsed.value(QStringLiteral("Extended Properties")), QString());
    }

    void deliveredRows() {
        QCOMPARE(count("select theName from D_Sex"), 2);
        QCOMPARE(count("select theName from D_P"), 34);
        QCOMPARE(count("select theType,theSex,theP from D_Mr"), 1);
        QVERIFY(count("select theName from D_Type") >= 8);
        QCOMPARE(count("select ID from D_B"), 0);
    }

    void opensLazilyAndStaysOpen() {
        QVERIFY(!m_connection->connected());
        m_connection->select(QStringLiteral("select theName from D_Sex"));
        QVERIFY(m_connection->connected());
        m_connection->select(QStringLiteral("select theName from D_P"));
        QVERIFY(m_connection->connected());
    }

    void openFailures_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("expected");
        QTest::newRow("wrong password") << "password"
                                        << "数据库密码不正确";
        QTest::newRow("not a database") << "garbage"
                                        << "不是本程序的数据库";
        QTest::newRow("missing file") << "nofile"
                                      << "找不到数据库文件";
        QTest::newRow("missing folder") << "nofolder"
                                        << "找不到数据库文件夹";
    }
    void openFailures() {
        QFETCH(QString, how);
        QFETCH(QString, expected);
        QString text = m_db->connectionString();
        if (how == u"password") {
            text.replace(QStringLiteral("\"qzt905\""), QStringLiteral("\"wrong1\""));
        } else if (how == u"garbage") {
            QFile file(m_db->databasePath());
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(QByteArray(4096, 'x'));
        } else if (how == u"nofile") {
            QVERIFY(QFile::remove(m_db->databasePath()));
        } else {
            text.replace(QStringLiteral("Data/db.edb"), QStringLiteral("Nowhere/db.edb"));
        }
        m_connection->setConnectionString(text);
        try {
            m_connection->select(QStringLiteral("select theName from D_Sex"));
            QFAIL("the open should have failed");
        } catch (const EngineError& e) {
            QVERIFY2(e.message().contains(expected), qPrintable(e.message()));
        }
        QVERIFY(!m_connection->connected());
    }

    // The delivered file is encrypted, in 4 KB pages: the key alone with the engine's former
    // 1 KB pages does not read it.
    void fileIsEncrypted() {
        QFile file(m_db->databasePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray head = file.read(16);
        QVERIFY(!head.startsWith("SQLite format 3"));

        if (sqlcipherTool().isEmpty()) {
            QSKIP("the sqlcipher command-line tool is not installed");
        }
        QVERIFY(readsWithTool(m_db->databasePath(), 4096));
        QVERIFY(!readsWithTool(m_db->databasePath(), 1024));
        QVERIFY(!readsWithTool(m_db->databasePath(), 0));
    }

    // A file of an older build, in 1 KB pages, opens, reads and takes new rows, and keeps
    // its pages.
    void olderFileKeepsItsPages() {
        const QString older = m_db->folder() + QStringLiteral("older.edb");
        QFile empty(older); // an empty file is an empty database; the program's connection
        QVERIFY(empty.open(QIODevice::WriteOnly)); // creates no files
        empty.close();
        {
            DirectSql sql(m_db->connectionString());
            sql.exec(QStringLiteral("ATTACH DATABASE '%1' AS older KEY '%2'")
                         .arg(sqlText(older), sqlText(databasePassword())));
            sql.exec(QStringLiteral("PRAGMA older.cipher_page_size = 1024"));
            sql.exec(QStringLiteral("SELECT sqlcipher_export('older')"));
            sql.exec(QStringLiteral("DETACH DATABASE older"));
        }
        QVERIFY(QFile::remove(m_db->databasePath()));
        QVERIFY(QFile::rename(older, m_db->databasePath()));

        QCOMPARE(count("select theName from D_P"), 34);
        m_connection->execute(QStringLiteral("insert into D_B(theDate,BName,theDel) "
                                             "values('2008-03-07','旧文件','否')"));
        m_connection->close();
        QCOMPARE(count("select ID from D_B where BName='旧文件'"), 1);
        QVERIFY(sqlcipherTool().isEmpty() || readsWithTool(m_db->databasePath(), 1024));
    }

    void secondStatementIsRefused() {
        QVERIFY_THROWS_EXCEPTION(EngineError, m_connection->execute(QStringLiteral(
                                                  "update D_Mr set theP=''; delete from D_P")));
        QCOMPARE(count("select theName from D_P"), 34);
    }

    void dialect() {
        for (int i = 0; i < 3; ++i) {
            m_connection->execute(
                QStringLiteral(
                    "insert into DList(DID,LDate,LType,LMemo) Values(7,'2008-03-0%1','电话','x')")
                    .arg(i + 1));
        }
        m_connection->execute(fileDialect().deleteFrom("DList") + QStringLiteral(" where ID=2"));
        QCOMPARE(count("SELECT ID,LDate as 拜访日期 FROM DList WHERE DID=7 ORDER BY LDate DESC"),
                 2);
        QCOMPARE(count("Select ID from DList Where did in (select id from D_Sex)"), 0);
        QCOMPARE(count("select theName from D_P where theName Like '%江%'"),
                 4); // 黑龙江 江苏 浙江 江西
        QCOMPARE(count("select ID from DList where LDate Between '2008-03-01' AND '2008-03-03'"),
                 2);
        m_connection->execute(QStringLiteral("UPdate D_Mr Set theType='同事'"));
        QCOMPARE(scalar("select theType from D_Mr"), QStringLiteral("同事"));
    }

    void keysAreNeverReused() {
        m_connection->execute(QStringLiteral("insert into D_B(BName) values('a')"));
        m_connection->execute(QStringLiteral("insert into D_B(BName) values('b')"));
        m_connection->execute(QStringLiteral("DELETE FROM D_B where ID=2"));
        m_connection->execute(QStringLiteral("insert into D_B(BName) values('c')"));
        QCOMPARE(scalar("select max(ID) from D_B"), QStringLiteral("3"));
    }

    void openResultNavigation() {
        Query q;
        QVERIFY_THROWS_EXCEPTION(EngineError, q.recordCount());
        q.openResult(
            m_connection->select(QStringLiteral("select theName, NULL as Nothing from D_Sex")));
        QCOMPARE(q.recordCount(), 2);
        QCOMPARE(q.recNo(), 1);
        QCOMPARE(q.fieldByName(QStringLiteral("THENAME")), QStringLiteral("男"));
        QCOMPARE(q.fieldByName(QStringLiteral("nothing")), QString());
        QVERIFY_THROWS_EXCEPTION(EngineError, q.fieldByName(QStringLiteral("missing")));
        q.prior();
        QCOMPARE(q.recNo(), 1);
        q.next();
        QCOMPARE(q.recNo(), 2);
        QVERIFY(!q.eof());
        q.next();
        QVERIFY(q.eof());
        QCOMPARE(q.recNo(), 2);
        q.first();
        QVERIFY(!q.eof());
        q.close();
        QVERIFY_THROWS_EXCEPTION(EngineError, q.recordCount());
    }

    void sortInMemory() {
        const QStringList names = {QStringLiteral("张三"), QStringLiteral("李四"),
                                   QStringLiteral("王五"), QStringLiteral("Alice"),
                                   QStringLiteral("赵六"), QStringLiteral("阿明")};
        const QStringList dates = {"2008-12-01", "2008-02-15", "2007-12-31",
                                   "2008-02-01", "2009-01-01", "2008-02-15"};
        for (int i = 0; i < names.size(); ++i) {
            m_connection->execute(QStringLiteral("insert into D_B(theDate,BName) values('%1','%2')")
                                      .arg(dates[i], names[i]));
        }
        const auto rows = m_connection->select(QStringLiteral(
            "select ID, theDate as 录入日期, BName as 姓名 from D_B Order by ID Desc"));
        Query q;
        q.openResult(rows);
        q.setRecNo(3); // 赵六's neighbour: "Alice"
        const QString current = q.fieldByName(QStringLiteral("姓名"));
        q.setSort(QStringLiteral("姓名 ASC"));
        QCOMPARE(q.sort(), QStringLiteral("姓名 ASC"));
        QCOMPARE(column(q, "姓名"), QStringList({"Alice", "阿明", "李四", "王五", "张三", "赵六"}));
        QCOMPARE(q.fieldByName(QStringLiteral("姓名")), current); // the same card stays current
        q.setSort(QStringLiteral("姓名 DESC"));
        QCOMPARE(column(q, "姓名").first(), QStringLiteral("赵六"));
        q.setSort(QStringLiteral("录入日期 ASC"));
        // Equal dates keep their order: 阿明 (ID 6) came before 李四 (ID 2).
        QCOMPARE(column(q, "姓名"), QStringList({"王五", "Alice", "阿明", "李四", "张三", "赵六"}));
        q.setSort(QStringLiteral("ID ASC"));
        QCOMPARE(column(q, "ID"), QStringList({"1", "2", "3", "4", "5", "6"}));
        QVERIFY_THROWS_EXCEPTION(EngineError, q.setSort(QStringLiteral("无此列 ASC")));
        q.close();
        q.openResult(rows);
        QCOMPARE(q.sort(), QString());
        QCOMPARE(column(q, "ID").first(), QStringLiteral("6"));
    }

    void lockedDatabaseIsWaitedFor() {
        DirectSql other(m_db->connectionString());
        other.exec(QStringLiteral("select count(*) from D_P")); // opens the second connection
        SqlCipherConnection holder;
        holder.setConnectionString(m_db->connectionString());
        holder.execute(QStringLiteral("BEGIN IMMEDIATE"));
        QTimer::singleShot(300, [&holder] { holder.execute(QStringLiteral("COMMIT")); });
        // The write waits for the other program's lock rather than failing at once. The lock
        // is released from this thread's event loop, so wait on another thread.
        std::atomic<bool> done = false;
        std::thread writer([&] {
            other.exec(QStringLiteral("insert into D_B(BName) values('waited')"));
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done.load(), 4000);
        writer.join();
        QCOMPARE(count("select ID from D_B"), 1);
    }

    // A statement that waits for another program's lock runs no event loop of the window
    // (the window waits for it elsewhere); cancel() from another thread ends the wait, and the
    // write fails as given up and writes nothing.
    void lockWaitEndsWhenCancelled() {
        m_connection->select(QStringLiteral("select ID from D_B")); // opened
        SqlCipherConnection holder;
        holder.setConnectionString(m_db->connectionString());
        holder.execute(QStringLiteral("BEGIN IMMEDIATE"));
        bool timerRan = false;
        QTimer::singleShot(0, [&timerRan] { timerRan = true; });
        std::thread canceller([this] {
            QThread::msleep(300);
            m_connection->cancel();
        });
        try {
            m_connection->execute(QStringLiteral("insert into D_B(BName) values('轮到我')"));
            QFAIL("a write went through another program's lock");
        } catch (const EngineError& error) {
            QCOMPARE(error.message(), QStringLiteral("已取消等待数据库，本次没有保存。"));
        }
        canceller.join();
        QVERIFY(!timerRan);
        holder.execute(QStringLiteral("COMMIT"));
        QCOMPARE(count("select ID from D_B"), 0);
        m_connection->execute(QStringLiteral("insert into D_B(BName) values('轮到我')"));
        QCOMPARE(count("select ID from D_B"), 1);
    }

    // The delivered file, in the rollback form of older copies of the program, switches to
    // the write-ahead log when it is opened; the last program to close it folds the log back.
    void writeAheadLogWhileOpen() {
        const QString log = m_db->databasePath() + QStringLiteral("-wal");
        m_connection->execute(QStringLiteral("insert into D_B(BName) values('甲')"));
        QCOMPARE(scalar("PRAGMA journal_mode"), QStringLiteral("wal"));
        QCOMPARE(scalar("PRAGMA synchronous"), QStringLiteral("1")); // NORMAL
        QVERIFY(QFile::exists(log));
        {
            SqlCipherConnection other;
            other.setConnectionString(m_db->connectionString());
            QCOMPARE(other.select(QStringLiteral("select BName from D_B"))->rowCount(), 1);
        }
        QVERIFY(QFile::exists(log)); // still in use here
        m_connection->close();
        QVERIFY(!QFile::exists(log));
        QCOMPARE(count("select BName from D_B"), 1);
    }

    // A failed statement is told on standard error by its kind and the engine's reason, never
    // with the values it carried; the box has none of them either.
    void failuresKeepValuesOffStandardError_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("kind");
        QTest::newRow("syntax error beside a value")
            << "insert into D_B(BName,BTel) values('秘密7731' '13900007731')"
            << "INSERT D_B";
        QTest::newRow("unknown column") << "update D_B set Nowhere='秘密7731' where BName='x7731'"
                                        << "UPDATE D_B";
        QTest::newRow("value without quotes") << "select ID from D_B where BName=秘密7731"
                                              << "SELECT D_B";
        QTest::newRow("unknown table") << "delete from D_Nowhere where BName='秘密7731'"
                                       << "DELETE D_Nowhere";
    }
    void failuresKeepValuesOffStandardError() {
        QFETCH(QString, statement);
        QFETCH(QString, kind);
        m_connection->select(QStringLiteral("select count(*) from D_B")); // opened beforehand
        QString shown;
        const QString printed = standardErrorOf([&] {
            try {
                m_connection->execute(statement);
            } catch (const EngineError& e) {
                shown = e.message();
            }
        });
        QVERIFY(!shown.isEmpty());
        QVERIFY2(printed.contains(kind), qPrintable(printed));
        QVERIFY2(!printed.contains(QStringLiteral("7731")) &&
                     !printed.contains(QStringLiteral("秘密")),
                 qPrintable(printed));
        QVERIFY2(!shown.contains(QStringLiteral("7731")), qPrintable(shown));
        qInfo("%s", qPrintable(printed.trimmed()));
    }

private:
    // What body writes to standard error.
    static QString standardErrorOf(const std::function<void()>& body) {
        QTemporaryFile capture;
        if (!capture.open()) {
            return {};
        }
        std::fflush(stderr);
        const int saved = ::dup(2);
        ::dup2(capture.handle(), 2);
        body();
        std::fflush(stderr);
        ::dup2(saved, 2);
        ::close(saved);
        capture.seek(0);
        return QString::fromUtf8(capture.readAll());
    }

    static QString sqlcipherTool() { return QStandardPaths::findExecutable("sqlcipher"); }
    // Whether the sqlcipher tool reads the provinces of the file keyed with the program's
    // password and the given page size (0: the tool's default).
    static bool readsWithTool(const QString& path, int pageSize) {
        QString script = QStringLiteral("PRAGMA key='%1';\n").arg(databasePassword());
        if (pageSize > 0) {
            script += QStringLiteral("PRAGMA cipher_page_size=%1;\n").arg(pageSize);
        }
        QProcess p;
        p.start(sqlcipherTool(), {path});
        p.write((script + QStringLiteral("select count(*) from D_P;\n")).toUtf8());
        p.closeWriteChannel();
        p.waitForFinished();
        return p.readAllStandardOutput().trimmed() == "34";
    }

    int count(const char* sql) { return m_connection->select(QString::fromUtf8(sql))->rowCount(); }
    QString scalar(const char* sql) {
        return m_connection->select(QString::fromUtf8(sql))->text(0, 0);
    }
    static QStringList column(Query& q, const char* name) {
        QStringList values;
        const int column = q.result()->columnIndex(QString::fromUtf8(name));
        for (int i = 0; i < q.recordCount(); ++i) {
            values << q.result()->text(q.rowAt(i), column);
        }
        return values;
    }

    std::unique_ptr<ScratchDatabase> m_db;
    std::unique_ptr<SqlCipherConnection> m_connection;
};

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
