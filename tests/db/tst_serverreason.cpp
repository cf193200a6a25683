// The reasons libpq and the server give, as the messages show them: Chinese for the common
// cases, the original for the rest; and a refused connection through the engine itself.

#include "db/engineerror.h"
#include "db/pgconnection.h"
#include "db/serverreason.h"

#include <QTest>

class TestServerReason : public QObject {
    Q_OBJECT

private slots:
    void reasons_data() {
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("shown");
        const QString refused =
            QStringLiteral("服务器拒绝连接：服务器没有运行，或者主机、端口不对");
        const QString closed = QStringLiteral("连接意外中断");
        QTest::newRow("refused")
            << R"(connection to server at "127.0.0.1", port 1 failed: Connection refused)"
            << refused;
        QTest::newRow("refused, older libpq")
            << "could not connect to server: Connection refused" << refused;
        QTest::newRow("no local server")
            << R"(connection to server on socket "/tmp/.s.PGSQL.5432" failed: No such file or directory)"
            << QStringLiteral("本机上没有运行中的服务器");
        QTest::newRow("closed") << "server closed the connection unexpectedly" << closed;
        QTest::newRow("TLS closed") << "SSL connection has been closed unexpectedly" << closed;
        QTest::newRow("TLS EOF") << "SSL SYSCALL error: EOF detected" << closed;
        QTest::newRow("reset") << "could not receive data from server: Connection reset by peer"
                               << closed;
        QTest::newRow("no connection") << "no connection to the server" << closed;
        QTest::newRow("administrator") << "terminating connection due to administrator command"
                                       << QStringLiteral("服务器的管理员结束了连接");
        QTest::newRow("password")
            << R"(connection to server at "db" (10.0.0.5), port 5432 failed: FATAL:  password authentication failed for user "张三")"
            << QStringLiteral("用户 张三 的密码不正确");
        QTest::newRow("no password") << "fe_sendauth: no password supplied"
                                     << QStringLiteral("服务器要求密码，但没有提供密码");
        QTest::newRow("other authentication")
            << R"(FATAL:  GSSAPI authentication failed for user "x")"
            << QStringLiteral("身份验证失败");
        QTest::newRow("table") << "permission denied for table d_b"
                               << QStringLiteral("权限不足：不能使用表 d_b");
        QTest::newRow("sequence") << "permission denied for sequence d_b_id_seq"
                                  << QStringLiteral("权限不足：不能使用序列 d_b_id_seq");
        QTest::newRow("schema") << "permission denied for schema public"
                                << QStringLiteral("权限不足：不能使用 public");
        QTest::newRow("timeout")
            << R"(connection to server at "db" (10.0.0.5), port 5432 failed: timeout expired)"
            << QStringLiteral("连接超时：服务器没有及时响应");
        QTest::newRow("timed out") << "could not receive data from server: Connection timed out"
                                   << QStringLiteral("连接超时：服务器没有及时响应");
        QTest::newRow("host")
            << R"(could not translate host name "db.example" to address: Name or service not known)"
            << QStringLiteral("找不到主机 db.example");
        QTest::newRow("database")
            << R"(connection to server on socket "/run/.s.PGSQL.5432" failed: FATAL:  database "名片" does not exist)"
            << QStringLiteral("数据库 名片 不存在");
        QTest::newRow("user") << R"(FATAL:  role "lisi" does not exist)"
                              << QStringLiteral("用户 lisi 不存在");
        QTest::newRow("pg_hba")
            << R"(FATAL:  no pg_hba.conf entry for host "10.0.0.9", user "lisi", database "cards", no encryption)"
            << QStringLiteral("服务器不允许从 10.0.0.9 以用户 lisi 连接数据库 cards（pg_hba.conf "
                              "中没有相应的行）");
        QTest::newRow("starting") << "FATAL:  the database system is starting up"
                                  << QStringLiteral("服务器正在启动或关闭，请稍后再试");
        QTest::newRow("full") << "FATAL:  sorry, too many clients already"
                              << QStringLiteral("服务器的连接数已满，请稍后再试");
        QTest::newRow("unreachable")
            << R"(connection to server at "10.1.1.1", port 5432 failed: Network is unreachable)"
            << QStringLiteral("网络不通，无法到达服务器");
        const QString rare = QStringLiteral("invalid integer value \"x\" for connection option "
                                            "\"port\"");
        QTest::newRow("the rest as it is") << rare << rare;
        QTest::newRow("empty") << QString() << QString();
    }
    void reasons() {
        QFETCH(QString, reason);
        QFETCH(QString, shown);
        QCOMPARE(serverReasonInChinese(reason), shown);
    }

    // A server that does not listen: the engine's message carries the Chinese reason only.
    void refusedConnectionThroughTheEngine() {
        PgConnection server(QStringLiteral("host=127.0.0.1 port=1 dbname=cards"));
        try {
            server.select(QStringLiteral("select 1"));
            QFAIL("connected to a port nobody listens on");
        } catch (const EngineError& error) {
            QCOMPARE(error.message(),
                     QStringLiteral("无法连接名片服务器 服务器 cards@127.0.0.1:1（服务器拒绝连接："
                                    "服务器没有运行，或者主机、端口不对）"));
        }
    }
};

QTEST_GUILESS_MAIN(TestServerReason)
#include "tst_serverreason.moc"
