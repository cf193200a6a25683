// scripts/server-setup.sh on the private test server: the database and its register, a login
// role with a SCRAM password, and rights enough for every operation of the program and for a
// copy from a file, but not for deleting a card.

#include "db/engineerror.h"
#include "db/pgconnection.h"
#include "db/registercopy.h"
#include "db/sqlcipherconnection.h"
#include "testserver.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

class TestServerSetup : public QObject {
    Q_OBJECT

private slots:
    void init() { REQUIRE_TEST_SERVER(); }

    void setsUpADatabaseAndItsUsers() {
        const QString pid = QString::number(QCoreApplication::applicationPid());
        const QString database = QStringLiteral("orvane_setup_") + pid;
        const QString user = QStringLiteral("sales_") + pid;
        ScratchServerDatabase admin; // for statements as the server's superuser
        const auto cleanUp = qScopeGuard([&] {
            admin.run(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(database));
            admin.run(QStringLiteral("DROP ROLE IF EXISTS %1").arg(user));
        });

        QProcess script;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // The server's string without its database: the script names the databases itself.
        QString server = testServerConnectionString();
        server.remove(QRegularExpression(QStringLiteral("\\bdbname=\\S+")));
        env.insert(QStringLiteral("ORVANE_SETUP_ADMIN"), server);
        script.setProcessEnvironment(env);
        script.start(
            QStringLiteral("bash"),
            {QStringLiteral(ORVANE_SOURCE_DIR "/scripts/server-setup.sh"), database, user});
        script.write("Pass-w0rd'x\n");
        script.closeWriteChannel();
        QVERIFY(script.waitForFinished(120000));
        const QString output = QString::fromUtf8(script.readAllStandardOutput());
        QVERIFY2(script.exitCode() == 0, qPrintable(script.readAllStandardError()));
        QVERIFY(output.contains(
            QStringLiteral("hostssl  %1  +orvane_users  0.0.0.0/0  scram-sha-256").arg(database)));
        QVERIFY(!output.contains(QStringLiteral("Pass-w0rd")));
        QCOMPARE(admin.run(QStringLiteral("select rolpassword like 'SCRAM-SHA-256$%' from "
                                          "pg_authid where rolname='%1'")
                               .arg(user)),
                 QStringLiteral("t"));

        // The user: a copy from a file into the empty register, then the program's writes.
        ScratchDatabase source;
        DirectSql sql(source.connectionString());
        const QString card =
            insertCard(sql, QStringLiteral("客户"), QStringLiteral("张三"), QStringLiteral("男"));
        insertVisit(sql, card, QStringLiteral("2024-01-01"), QStringLiteral("电话"), QString());
        SqlCipherConnection file;
        file.setConnectionString(source.connectionString());
        PgConnection asUser(server + QStringLiteral(" dbname=%1 user=%2").arg(database, user));
        QCOMPARE(copyFileToServer(file, asUser).cards, 1);
        QCOMPARE(asUser.insert(QStringLiteral("insert into D_B(theType,BName,BSex,theDel) "
                                              "values('客户','李四','女','否')")),
                 2);
        asUser.execute(QStringLiteral("update D_B set theDel='是' where ID=2"));
        asUser.execute(QStringLiteral("delete from DList where DID=1"));
        asUser.execute(QStringLiteral("delete from D_Mr"));
        asUser.execute(QStringLiteral("insert into D_Mr(theType,theSex,theP) values('a','b','c')"));
        try {
            asUser.execute(QStringLiteral("delete from D_B where ID=2"));
            QFAIL("a user deleted a card for good");
        } catch (const EngineError& error) {
            QVERIFY2(error.message().startsWith(QStringLiteral("当前用户没有这项操作的权限")),
                     qPrintable(error.message()));
        }

        // Again, for one more user: the cards stay.
        script.start(
            QStringLiteral("bash"),
            {QStringLiteral(ORVANE_SOURCE_DIR "/scripts/server-setup.sh"), database, user});
        script.write("Other-pw-2\n");
        script.closeWriteChannel();
        QVERIFY(script.waitForFinished(120000));
        QCOMPARE(script.exitCode(), 0);
        QCOMPARE(asUser.select(QStringLiteral("select count(*) from D_B"))->text(0, 0),
                 QStringLiteral("2"));
    }
};

QTEST_MAIN(TestServerSetup)
#include "tst_serversetup.moc"
