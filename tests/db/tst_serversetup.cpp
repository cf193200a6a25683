// scripts/server-setup.sh: the database and its register, members and editors with any name
// PostgreSQL takes and the passwords typed (only their SCRAM verifiers reach the server), the
// lines for pg_hba.conf, and a register of the earlier version brought up to date, its cards
// kept, which the program refuses until then.

#include "db/engineerror.h"
#include "db/pgconnection.h"
#include "db/registercopy.h"
#include "db/registerscripts.h"
#include "db/serverlogin.h"
#include "db/sqlcipherconnection.h"
#include "testserver.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QTest>

namespace {
QString quotedRole(const QString& name) {
    QString quoted = name;
    return u'"' + quoted.replace(u'"', QStringLiteral("\"\"")) + u'"';
}

// The rights an earlier version of the script granted its one group.
const char* EarlierRights = R"(
DO $$ BEGIN CREATE ROLE orvane_users NOLOGIN; EXCEPTION WHEN duplicate_object THEN NULL; END $$;
GRANT SELECT, INSERT, UPDATE ON D_B TO orvane_users;
GRANT SELECT, INSERT, UPDATE, DELETE ON DList TO orvane_users;
GRANT SELECT, INSERT, DELETE ON D_Type, D_Sex, D_P, D_Mr TO orvane_users;
GRANT USAGE, SELECT, UPDATE ON SEQUENCE d_b_id_seq, dlist_id_seq TO orvane_users;
)";
} // namespace

class TestServerSetup : public QObject {
    Q_OBJECT

private slots:
    void init() { REQUIRE_TEST_SERVER(); }

    // On a server of its own that logs every statement: the log must not hold a password.
    void usersLogInWithThePasswordsTyped() {
        PrivateServer server({QStringLiteral("fsync=off"), QStringLiteral("log_statement=all")});
        const QString pid = QString::number(QCoreApplication::applicationPid());
        const QString database = QStringLiteral("名片_") + pid;
        const QStringList members{QStringLiteral("张三"), QStringLiteral("Sales \"Team\" 1")};
        const QString editor = QStringLiteral("李四");
        const QStringList passwords{QStringLiteral("back\\slash\\\\x"),
                                    QStringLiteral("it's a 'quote'"),
                                    QStringLiteral("  spaces  and \\' both ")};
        const SetupRun setup =
            runServerSetup({QStringLiteral("--network"), QStringLiteral("192.168.7.0/24"),
                            QStringLiteral("--editor"), editor, database, members[0], members[1]},
                           (passwords.join(u'\n') + u'\n').toUtf8(), server.connectionString());
        QVERIFY2(setup.exitCode == 0, qPrintable(setup.errors));
        QVERIFY2(setup.output.contains(
                     QStringLiteral("hostssl  \"%1\"  +orvane_users  192.168.7.0/24  scram-sha-256")
                         .arg(database)),
                 qPrintable(setup.output));
        QVERIFY(setup.output.contains(QStringLiteral("hostnossl  all  all  0.0.0.0/0  reject")));

        ScratchServerDatabase admin(server.connectionString());
        const QStringList users{members[0], members[1], editor};
        for (int i = 0; i < users.size(); ++i) {
            // Members of orvane_password_users must give their password on this server.
            admin.run(
                QStringLiteral("GRANT orvane_password_users TO %1").arg(quotedRole(users[i])));
            RegisterChoice choice = registerChoiceFrom(server.connectionString());
            choice.database = database;
            choice.user = users[i];
            QVERIFY2(probeServer(choice.connectionString(passwords[i])).connected,
                     qPrintable(users[i]));
            QVERIFY(!probeServer(choice.connectionString(QStringLiteral("wrong"))).connected);
        }
        QCOMPARE(admin.run(QStringLiteral("select string_agg(r.rolname, ',' order by r.rolname) "
                                          "from pg_roles r where pg_has_role(r.oid, "
                                          "'orvane_editors', 'MEMBER') and r.rolcanlogin "
                                          "and not r.rolsuper")),
                 editor);
        QCOMPARE(admin.run(QStringLiteral("select count(*) from pg_authid where rolname in "
                                          "('张三','李四','Sales \"Team\" 1') and "
                                          "rolpassword like 'SCRAM-SHA-256$%'")),
                 QStringLiteral("3"));

        QFile log(server.logFile());
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString logged = QString::fromUtf8(log.readAll());
        QVERIFY(logged.contains(QStringLiteral("SCRAM-SHA-256$"))); // the statements are there
        for (const QString& password : passwords) {
            QVERIFY2(!logged.contains(password), qPrintable(password));
            QVERIFY(!setup.output.contains(password) && !setup.errors.contains(password));
        }
        admin.run(
            QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(quotedRole(database)));
        for (const QString& user : users) {
            admin.run(QStringLiteral("DROP ROLE IF EXISTS %1").arg(quotedRole(user)));
        }
    }

    void anEarlierRegisterIsBroughtUpToDate() {
        const QString user =
            QStringLiteral("earlier_") + QString::number(QCoreApplication::applicationPid());
        ScratchServerDatabase db;
        const auto cleanUp = qScopeGuard(
            [&] { ScratchServerDatabase().run(QStringLiteral("DROP ROLE IF EXISTS ") + user); });
        // The register as the earlier version made it: its tables and grants, and no rules.
        db.run(QStringLiteral("BEGIN;") + serverTablesScript() + registerRowsScript() +
               QString::fromLatin1(EarlierRights) +
               QStringLiteral("CREATE ROLE %1 LOGIN IN ROLE orvane_users; COMMIT;").arg(user));
        db.run(QStringLiteral("insert into D_B(theType,BName,BSex,theDel) values"
                              "('客户','张三','男','否'),('客户','李四','女','是')"));
        const QString userString = db.connectionString() + QStringLiteral(" user=") + user;

        try {
            PgConnection(userString).select(QStringLiteral("select 1"));
            QFAIL("the program used a register with looser rights");
        } catch (const EngineError& error) {
            QVERIFY2(error.message().contains(
                         QStringLiteral("sudo scripts/server-setup.sh %1").arg(db.name())),
                     qPrintable(error.message()));
        }

        const SetupRun setup = runServerSetup({db.name()}, QByteArray());
        QVERIFY2(setup.exitCode == 0, qPrintable(setup.errors));
        PgConnection member(userString);
        QCOMPARE(member
                     .select(QStringLiteral("select string_agg(BName||theDel, ',' order by ID) "
                                            "from D_B"))
                     ->text(0, 0),
                 QStringLiteral("张三否,李四是"));
        QVERIFY_THROWS_EXCEPTION(EngineError,
                                 member.execute(QStringLiteral("delete from D_B where ID=2")));
        QCOMPARE(db.run(QStringLiteral("select tableowner from pg_tables where tablename='d_b'")),
                 QStringLiteral("orvane_owner"));

        // Run once more: nothing changes.
        QCOMPARE(runServerSetup({db.name()}, QByteArray()).exitCode, 0);
        QCOMPARE(db.run(QStringLiteral("select count(*) from D_B")), QStringLiteral("2"));
    }

    // An editor copies a card file in, keys kept.
    void anEditorCopiesACardFileIn() {
        const QString editor =
            QStringLiteral("copier_") + QString::number(QCoreApplication::applicationPid());
        ScratchServerDatabase db;
        const auto cleanUp = qScopeGuard(
            [&] { ScratchServerDatabase().run(QStringLiteral("DROP ROLE IF EXISTS ") + editor); });
        const SetupRun setup =
            runServerSetup({QStringLiteral("--editor"), editor, db.name()}, "Pass-w0rd'x\n");
        QVERIFY2(setup.exitCode == 0, qPrintable(setup.errors));

        ScratchDatabase source;
        DirectSql sql(source.connectionString());
        const QString card =
            insertCard(sql, QStringLiteral("客户"), QStringLiteral("张三"), QStringLiteral("男"));
        insertVisit(sql, card, QStringLiteral("2024-01-01"), QStringLiteral("电话"), QString());
        SqlCipherConnection file;
        file.setConnectionString(source.connectionString());
        PgConnection asEditor(db.connectionString() + QStringLiteral(" user=") + editor);
        QCOMPARE(copyFileToServer(file, asEditor).cards, 1);
        QCOMPARE(asEditor.insert(QStringLiteral("insert into D_B(theType,BName,BSex,theDel) "
                                                "values('客户','李四','女','否')")),
                 qint64(card.toLongLong() + 1));
    }
};

QTEST_MAIN(TestServerSetup)
#include "tst_serversetup.moc"
