// Moving a register between a card file and the server: every row and key arrives as it
// was, through the library and through the command line, and a copy that cannot be whole
// copies nothing.

#include "app/commandline.h"
#include "db/cardpassword.h"
#include "db/connectionsettings.h"
#include "db/engineerror.h"
#include "db/pgconnection.h"
#include "db/registercopy.h"
#include "db/serverdialect.h"
#include "db/sqlcipherconnection.h"
#include "db/sqltext.h"
#include "testserver.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QTest>

namespace {
// Every row of every table of a register, keys included, as text in a fixed order.
QStringList registerRows(Connection& connection) {
    const QStringList statements{
        "select ID,theDate,theType,BName,BSex,BPho,BMob,BMail,BQQ,BMSN,BWW,BDes,DArea,DCity,"
        "DName,DPart,DJob,DAdd,DPho,DFax,DPos,DWWW,FAdd,FPho,FPro,FDes,theDel from D_B order by ID",
        "select ID,DID,LDate,LType,LMemo from DList order by ID",
        "select theName from D_Type",
        "select theName from D_Sex",
        "select theName from D_P",
        "select theType,theSex,theP from D_Mr"};
    QStringList rows;
    for (const QString& statement : statements) {
        const auto result = connection.select(statement);
        rows << statement.section(u' ', -1) + QStringLiteral(": %1 rows").arg(result->rowCount());
        for (int r = 0; r < result->rowCount(); ++r) {
            QStringList values;
            for (int c = 0; c < result->columnCount(); ++c) {
                values << result->text(r, c);
            }
            rows << values.join(u'|');
        }
    }
    return rows;
}

// A card file with what a register can hold: deleted cards, gaps in the keys, hostile values,
// names that differ in letter case only across categories, visits, own lookups and defaults.
void fillFile(DirectSql& sql) {
    const QString first = insertCard(sql, "客户", "张三", "男", "2008-03-07", "北京");
    insertCard(sql, "客户", "O'Brien\\t \"x\"\t\n", "女");
    insertCard(sql, "同事", "alice", "女");
    insertCard(sql, "客户", "ALICE", "女");
    sql.exec("INSERT INTO D_B (ID, theDate, theType, BName, BSex, BPho, theDel) VALUES "
             "(100, '2020-01-01', '客户', 'Alice', '女', '13800000000', '是')");
    sql.exec("UPDATE D_B SET FDes='" + sqlText(QString::fromUtf8("😀 \\N 𠀀")) + "' WHERE ID=1");
    insertVisit(sql, first, "2024-05-01", "电话", "谈了\n两行");
    insertVisit(sql, "100", "2024-05-02", "拜访", "");
    sql.exec("INSERT INTO D_Type (theName) VALUES ('展会')");
    sql.exec("DELETE FROM D_Mr");
    sql.exec("INSERT INTO D_Mr (theType, theSex, theP) VALUES ('同事', '女', '上海')");
}
} // namespace

class TestRegisterCopy : public QObject {
    Q_OBJECT

private slots:
    void init() {
        REQUIRE_TEST_SERVER();
        m_server = std::make_unique<ScratchServerDatabase>();
    }
    void cleanup() { m_server.reset(); }

    void fileToServerToFileKeepsEveryRow() {
        ScratchDatabase source;
        DirectSql sql(source.connectionString());
        fillFile(sql);
        SqlCipherConnection file;
        file.setConnectionString(source.connectionString());
        const QStringList before = registerRows(file);

        PgConnection server(m_server->connectionString());
        const CopiedRows copied = copyFileToServer(file, server);
        QCOMPARE(copied.cards, 5);
        QCOMPARE(copied.visits, 2);
        QCOMPARE(copied.defaults, 1);
        QCOMPARE(registerRows(server), before);
        // New keys go on after the file's.
        QCOMPARE(server.insert(
                     "insert into D_B(theType,BName,BSex,theDel) values('客户','新','男','否')"),
                 101);
        server.execute("insert into DList(DID,LDate,LType,LMemo) values(101,'','','')");
        QCOMPARE(m_server->run("select max(ID) from DList"), QStringLiteral("3"));

        QTemporaryDir folder;
        const QString copyPath = folder.filePath("copy.edb");
        // A duplicate refused by the server still used up a key: the file does not reuse it.
        QCOMPARE(server.insert(QStringLiteral("insert into D_B(theType,BName,BSex,theDel) "
                                              "values('客户','新','男','否')") +
                               serverDialect().liveCardConflict()),
                 0);
        copyServerToFile(server, copyPath);
        SqlCipherConnection back;
        back.setConnectionString(cardFileConnectionString(copyPath));
        QCOMPARE(registerRows(back), registerRows(server));
        // The file's keys go on after the server's.
        back.execute("insert into D_B(theType,BName,BSex,theDel) values('客户','再','男','否')");
        QCOMPARE(back.select("select max(ID) from D_B")->text(0, 0), QStringLiteral("103"));
    }

    // How the copy is refused; nothing reaches the target.
    void refusedCopiesCopyNothing_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("live twins in the file") << "twins"
                                                << "本机文件中有分类、姓名和性别都相同的名片";
        QTest::newRow("NUL in a visit") << "nul"
                                        << "空字符（编码为 0 的字符）：拜访记录编号 1";
        QTest::newRow("NUL in a category") << "nul lookup"
                                           << "空字符（编码为 0 的字符）：分类第 ";
        QTest::newRow("no UTF-8 text in a card") << "bytes"
                                                 << "不是 UTF-8 文字的字节：名片编号 1";
        QTest::newRow("missing and empty category") << "null"
                                                    << "Bob 男（编号 3、4）";
        QTest::newRow("server register not empty") << "busy"
                                                   << "中已经有 1 张名片、0 条拜访记录";
    }
    void refusedCopiesCopyNothing() {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        ScratchDatabase source;
        DirectSql sql(source.connectionString());
        const QString id = insertCard(sql, "客户", "Bob", "男");
        insertCard(sql, "客户", "bob", "女");
        PgConnection server(m_server->connectionString());
        if (fault == u"twins") {
            insertCard(sql, "客户", "BOB", "男");
        } else if (fault == u"nul lookup") {
            sql.exec("INSERT INTO D_Type (theName) VALUES ('a'||char(0)||'b')");
        } else if (fault == u"bytes") {
            sql.exec("UPDATE D_B SET BPho=cast(x'41ff42' as text) WHERE ID=" + id);
        } else if (fault == u"null") {
            sql.exec(
                "INSERT INTO D_B (theType, BName, BSex, theDel) VALUES (NULL,'Bob','男','否')");
            sql.exec("INSERT INTO D_B (theType, BName, BSex, theDel) VALUES ('','bob','男','否')");
        } else if (fault == u"nul") {
            sql.exec("INSERT INTO DList (DID, LDate, LType, LMemo) VALUES (" + id +
                     ", '', '', 'a'||char(0)||'b')");
        } else {
            server.insert("insert into D_B(theType,BName,BSex,theDel) values('x','y','z','否')");
        }
        SqlCipherConnection file;
        file.setConnectionString(source.connectionString());
        try {
            copyFileToServer(file, server);
            QFAIL("the copy went ahead");
        } catch (const EngineError& error) {
            QVERIFY2(error.message().contains(message), qPrintable(error.message()));
            QVERIFY(error.message().contains(QStringLiteral("没有复制任何内容")));
            if (fault == u"twins") {
                QVERIFY(error.message().contains(QStringLiteral("客户 Bob 男（编号 1、3）")));
            }
        }
        QCOMPARE(m_server->run("select count(*) from DList"), QStringLiteral("0"));
        QCOMPARE(m_server->run("select count(*) from D_B"), fault == u"busy" ? "1" : "0");
        QCOMPARE(m_server->run("select count(*) from D_Sex"), QStringLiteral("2"));
    }

    void aFileWithCardsIsNeverOverwritten() {
        PgConnection server(m_server->connectionString());
        server.insert("insert into D_B(theType,BName,BSex,theDel) values('客户','甲','男','否')");
        ScratchDatabase target;
        DirectSql sql(target.connectionString());
        insertCard(sql, "客户", "乙", "女");
        try {
            copyServerToFile(server, target.databasePath());
            QFAIL("a file with cards was written over");
        } catch (const EngineError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("中已经有 1 张名片")),
                     qPrintable(error.message()));
        }
        QCOMPARE(sql.count("select ID from D_B"), 1);
        QCOMPARE(sql.scalar("select BName from D_B"), QStringLiteral("乙"));
    }

    void commandLineCopiesBothWays() {
        ScratchDatabase source;
        DirectSql sql(source.connectionString());
        fillFile(sql);
        setProgramFolder(source.folder());
        QCOMPARE(runWithoutWindow(parseCommandLine(
                     {"orvane", "--copy-to-server", m_server->connectionString()})),
                 0);
        QCOMPARE(runWithoutWindow(parseCommandLine(
                     {"orvane", "--copy-to-server", m_server->connectionString()})),
                 1); // the server register holds cards now

        ScratchDatabase target; // a new, empty card file
        setProgramFolder(target.folder());
        QCOMPARE(runWithoutWindow(parseCommandLine(
                     {"orvane", "--copy-from-server", m_server->connectionString()})),
                 0);
        setProgramFolder(QString());
        SqlCipherConnection original;
        original.setConnectionString(source.connectionString());
        SqlCipherConnection copy;
        copy.setConnectionString(target.connectionString());
        QCOMPARE(registerRows(copy), registerRows(original));

        const CommandLine missing = parseCommandLine({"orvane", "--copy-from-server"});
        QVERIFY(missing.error.startsWith(QStringLiteral("--copy-from-server 后面要写")));
        QCOMPARE(runWithoutWindow(missing), 2);
        QCOMPARE(parseCommandLine({"orvane", "--server", "host=h dbname=d"}).server,
                 QStringLiteral("host=h dbname=d"));
    }

    // A card file with a password of the user's own is copied only with that password: from
    // the environment here (a terminal would be asked); without it, or with a wrong one,
    // nothing is copied.
    void commandLineCopiesAFileWithItsOwnPassword() {
        ScratchDatabase source;
        {
            DirectSql sql(source.connectionString());
            fillFile(sql);
        }
        {
            SqlCipherConnection file;
            file.setConnectionString(source.connectionString());
            changeCardPassword(file, QStringLiteral("我的 密码"));
        }
        setProgramFolder(source.folder());
        QVERIFY(std::freopen("/dev/null", "r", stdin)); // no terminal to ask
        const CommandLine copy =
            parseCommandLine({"orvane", "--copy-to-server", m_server->connectionString()});
        for (const char* given : {"", "别的密码"}) {
            qputenv("ORVANE_CARD_PASSWORD", given);
            QCOMPARE(runWithoutWindow(copy), 1);
            QCOMPARE(PgConnection(m_server->connectionString())
                         .select(QStringLiteral("select ID from D_B"))
                         ->rowCount(),
                     0);
        }
        qputenv("ORVANE_CARD_PASSWORD", QStringLiteral("我的 密码").toUtf8());
        QCOMPARE(runWithoutWindow(copy), 0);
        qunsetenv("ORVANE_CARD_PASSWORD");
        SqlCipherConnection original;
        original.setConnectionString(
            cardFileConnectionString(source.databasePath())); // with the password now in use
        PgConnection server(m_server->connectionString());
        QCOMPARE(registerRows(server), registerRows(original));
        setDatabasePassword(QString());
        setProgramFolder(QString());
    }

private:
    std::unique_ptr<ScratchServerDatabase> m_server;
};

QTEST_MAIN(TestRegisterCopy)
#include "tst_registercopy.moc"
