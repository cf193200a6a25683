// A register reached over the network: TLS with the server's certificate checked (made by
// scripts/server-setup.sh --certificates), a wrong host name or root certificate refused with a
// Chinese reason, and a fake server on the loopback that declines TLS or asks for the password
// in clear text never receiving it.

#include "db/engineerror.h"
#include "db/pgconnection.h"
#include "db/serverdialect.h"
#include "db/serverlogin.h"
#include "testserver.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <arpa/inet.h>
#include <atomic>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
const QString Password = QStringLiteral("Tls pass\\'1");

// A port of the loopback nobody listens on now.
int freePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return ntohs(address.sin_port);
}

bool readExactly(int fd, char* into, size_t size) {
    size_t done = 0;
    while (done < size) {
        pollfd waiting{fd, POLLIN, 0};
        if (poll(&waiting, 1, 3000) <= 0) {
            return false;
        }
        const ssize_t got = read(fd, into + done, size - done);
        if (got <= 0) {
            return false;
        }
        done += size_t(got);
    }
    return true;
}

quint32 bigEndian(const char* bytes) {
    return qFromBigEndian<quint32>(bytes);
}

// Listens on 127.0.0.1 only. Each client is told "no TLS" and then asked for its password in
// clear text; a password message ('p') that arrives is remembered.
class FakeServer {
public:
    FakeServer() {
        m_listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t size = sizeof address;
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
        listen(m_listener, 4);
        m_thread = std::thread([this] { serve(); });
    }
    ~FakeServer() {
        m_stop = true;
        m_thread.join();
        close(m_listener);
    }
    int port() const { return m_port; }
    bool receivedPassword() const { return m_password; }
    int asked() const { return m_asked; }

private:
    void serve() {
        while (!m_stop) {
            pollfd waiting{m_listener, POLLIN, 0};
            if (poll(&waiting, 1, 100) <= 0) {
                continue;
            }
            const int client = accept(m_listener, nullptr, nullptr);
            talk(client);
            close(client);
        }
    }
    void talk(int client) {
        char header[8];
        while (readExactly(client, header, 8)) {
            const quint32 length = bigEndian(header);
            const quint32 code = bigEndian(header + 4);
            if (length == 8 && (code == 80877103 || code == 80877104)) {
                (void)!write(client, "N", 1); // no TLS, no GSSAPI encryption
                continue;
            }
            std::string rest(length - 8, '\0');
            if (!readExactly(client, rest.data(), rest.size())) {
                return;
            }
            // AuthenticationCleartextPassword.
            const char ask[] = {'R', 0, 0, 0, 8, 0, 0, 0, 3};
            (void)!write(client, ask, sizeof ask);
            ++m_asked;
            char reply = 0;
            if (readExactly(client, &reply, 1) && reply == 'p') {
                m_password = true;
            }
            return;
        }
    }

    int m_listener = -1;
    int m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_password{false};
    std::atomic<int> m_asked{0};
};
} // namespace

class TestServerTls : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_folder;
    QString m_office; // the office's CA and the server's certificate
    QString m_other;  // another CA
    std::unique_ptr<PrivateServer> m_server;
    int m_port = 0;

    // The options may name another host than localhost: the last one written counts.
    QString overNetwork(const QString& options) const {
        return QStringLiteral("host=localhost port=%1 dbname=postgres user=tls_user password=%2 ")
                   .arg(m_port)
                   .arg(pgConninfoValue(Password)) +
               options;
    }

private slots:
    void initTestCase() {
        REQUIRE_TEST_SERVER();
        m_office = m_folder.filePath(QStringLiteral("office"));
        m_other = m_folder.filePath(QStringLiteral("other"));
        ScratchServerDatabase scratch;
        for (const QString& folder : {m_office, m_other}) {
            const SetupRun setup =
                runServerSetup({QStringLiteral("--certificates"), QStringLiteral("localhost"),
                                QStringLiteral("--certificate-dir"), folder, scratch.name()},
                               QByteArray());
            QVERIFY2(setup.exitCode == 0, qPrintable(setup.errors));
            QVERIFY(setup.output.contains(QStringLiteral("root.crt")));
        }
        m_port = freePort();
        m_server = std::make_unique<PrivateServer>(
            QStringList{QStringLiteral("fsync=off"), QStringLiteral("port=%1").arg(m_port),
                        QStringLiteral("tls=") + m_office});
        QVERIFY(!m_server->connectionString().isEmpty());
        // A login checked by its SCRAM password; a superuser, to keep the rights out of it.
        PgConnection admin(m_server->connectionString());
        admin.execute(QStringLiteral("DROP ROLE IF EXISTS tls_user"));
        admin.execute(QStringLiteral("CREATE ROLE tls_user LOGIN SUPERUSER PASSWORD %1 "
                                     "IN ROLE orvane_password_users")
                          .arg(serverDialect().literal(Password)));
    }

    void cleanupTestCase() { m_server.reset(); }

    void theServersCertificateIsChecked_data() {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("refusal"); // empty: connects over TLS
        const QString office = QStringLiteral("sslrootcert=") + m_office + "/root.crt";
        QTest::newRow("verify-full by default") << office << QString();
        QTest::newRow("only encrypted") << QStringLiteral("sslmode=require") << QString();
        QTest::newRow("wrong host name") << QStringLiteral("host=127.0.0.1 ") + office
                                         << QStringLiteral("与所连接的主机名 127.0.0.1 不符");
        QTest::newRow("wrong root certificate")
            << QStringLiteral("sslrootcert=") + m_other + "/root.crt"
            << QStringLiteral("无法验证服务器的证书");
        QTest::newRow("no root certificate")
            << QStringLiteral("sslrootcert=") + m_folder.filePath("none.crt")
            << QStringLiteral("找不到根证书文件");
    }
    void theServersCertificateIsChecked() {
        QFETCH(QString, options);
        QFETCH(QString, refusal);
        PgConnection server(overNetwork(options));
        try {
            QCOMPARE(server
                         .select(QStringLiteral("select ssl::text from pg_stat_ssl "
                                                "where pid=pg_backend_pid()"))
                         ->text(0, 0),
                     QStringLiteral("true"));
            QVERIFY2(refusal.isEmpty(), "connected where it should not");
        } catch (const EngineError& error) {
            QVERIFY2(!refusal.isEmpty() && error.message().contains(refusal),
                     qPrintable(error.message()));
            QVERIFY(!error.message().contains(QStringLiteral("Tls pass")));
        }
    }

    // Over the network a password goes only through SCRAM with channel binding: never to a
    // server that declines TLS or asks for it in clear text.
    void aFakeServerGetsNoPassword_data() {
        QTest::addColumn<QString>("options");
        QTest::newRow("by default") << QString();
        QTest::newRow("only encrypted") << QStringLiteral("sslmode=require");
        QTest::newRow("encrypted if the server will") << QStringLiteral("sslmode=prefer");
        QTest::newRow("certificate checked, any host name")
            << QStringLiteral("sslmode=verify-ca sslrootcert=") + m_office + "/root.crt";
    }
    void aFakeServerGetsNoPassword() {
        QFETCH(QString, options);
        FakeServer fake;
        const QString connection =
            QStringLiteral("host=127.0.0.1 port=%1 dbname=cards user=zhang password=%2 ")
                .arg(fake.port())
                .arg(pgConninfoValue(Password)) +
            options;
        QVERIFY_THROWS_EXCEPTION(EngineError,
                                 PgConnection(connection).select(QStringLiteral("select 1")));
        QVERIFY(!probeServer(connection).connected);
        QVERIFY(!fake.receivedPassword());
    }

    // The fake server does catch a password libpq sends it in clear text, left to itself.
    void theFakeServerCatchesAPasswordInClear() {
        FakeServer fake;
        PGconn* conn = PQconnectdb(
            QStringLiteral(
                "host=127.0.0.1 port=%1 dbname=cards user=zhang password=x sslmode=disable")
                .arg(fake.port())
                .toUtf8()
                .constData());
        PQfinish(conn);
        QVERIFY(fake.receivedPassword());
    }
};

QTEST_MAIN(TestServerTls)
#include "tst_servertls.moc"
