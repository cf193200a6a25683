#include "testserver.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QUuid>
#include <libpq-fe.h>

namespace {
PGconn* connectTo(const QString& conninfo) {
    PGconn* conn = PQconnectdb(conninfo.toUtf8().constData());
    if (PQstatus(conn) != CONNECTION_OK) {
        const QString reason = QString::fromUtf8(PQerrorMessage(conn));
        PQfinish(conn);
        qFatal("test server: %s", qPrintable(reason));
    }
    PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr);
    return conn;
}

QString runIn(PGconn* conn, const QString& sql) {
    PGresult* result = PQexec(conn, sql.toUtf8().constData());
    const ExecStatusType status = PQresultStatus(result);
    QString value;
    if (status == PGRES_TUPLES_OK && PQntuples(result) > 0) {
        value = QString::fromUtf8(PQgetvalue(result, 0, 0));
    }
    const QString error = QString::fromUtf8(PQerrorMessage(conn));
    PQclear(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        qFatal("test server: %s: %s", qPrintable(sql), qPrintable(error));
    }
    return value;
}

// Runs sql on the database named by conninfo; the first value of its result.
QString runOn(const QString& conninfo, const QString& sql) {
    PGconn* conn = connectTo(conninfo);
    const QString value = runIn(conn, sql);
    PQfinish(conn);
    return value;
}

QString serverScript() {
    return QStringLiteral(ORVANE_SOURCE_DIR "/scripts/test-server.sh");
}
} // namespace

QString testServerConnectionString() {
    return qEnvironmentVariable("ORVANE_TEST_SERVER");
}

ScratchServerDatabase::ScratchServerDatabase(const QString& server) : m_server(server) {
    static QAtomicInt counter;
    m_name = QStringLiteral("orvane_t%1_%2")
                 .arg(QCoreApplication::applicationPid())
                 .arg(counter.fetchAndAddRelaxed(1));
    runOn(m_server, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_name));
    runOn(m_server, QStringLiteral("CREATE DATABASE %1").arg(m_name));
}

ScratchServerDatabase::~ScratchServerDatabase() {
    runOn(m_server, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_name));
}

QString ScratchServerDatabase::connectionString() const {
    return m_server + QStringLiteral(" dbname=") + m_name;
}

QString ScratchServerDatabase::run(const QString& sql) const {
    return runOn(connectionString(), sql);
}

SetupRun runServerSetup(const QStringList& arguments, const QByteArray& input,
                        const QString& server) {
    QProcess script;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The server's string without its database: the script names the databases itself.
    QString admin = server;
    admin.remove(QRegularExpression(QStringLiteral("\\bdbname=\\S+")));
    env.insert(QStringLiteral("ORVANE_SETUP_ADMIN"), admin);
    script.setProcessEnvironment(env);
    script.start(QStringLiteral("bash"),
                 QStringList{QStringLiteral(ORVANE_SOURCE_DIR "/scripts/server-setup.sh")} +
                     arguments);
    script.write(input);
    script.closeWriteChannel();
    script.waitForFinished(120000);
    return {script.exitStatus() == QProcess::NormalExit ? script.exitCode() : -1,
            QString::fromUtf8(script.readAllStandardOutput()),
            QString::fromUtf8(script.readAllStandardError())};
}

ServerSession::ServerSession(const QString& connectionString)
    : m_conn(connectTo(connectionString)) {}

ServerSession::~ServerSession() {
    PQfinish(m_conn);
}

QString ServerSession::run(const QString& sql) {
    return runIn(m_conn, sql);
}

int ServerSession::backendPid() const {
    return PQbackendPID(m_conn);
}

PrivateServer::PrivateServer(const QStringList& settings)
    : m_folder(QDir::tempPath() + QStringLiteral("/orvane-own-server-") +
               QUuid::createUuid().toString(QUuid::Id128).left(12)),
      m_settings(settings) {
    start();
}

PrivateServer::~PrivateServer() {
    QProcess::execute(QStringLiteral("bash"),
                      {serverScript(), QStringLiteral("stop"), m_folder, QStringLiteral("fast")});
    QDir(m_folder).removeRecursively();
}

bool PrivateServer::start() {
    QProcess script;
    script.start(QStringLiteral("bash"),
                 QStringList{serverScript(), QStringLiteral("start"), m_folder} + m_settings);
    script.waitForFinished(120000);
    m_connectionString = QString::fromUtf8(script.readAllStandardOutput()).trimmed();
    return script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0;
}

QString PrivateServer::logFile() const {
    return m_folder + QStringLiteral("/server.log");
}

void PrivateServer::stopImmediately() {
    QProcess::execute(QStringLiteral("bash"), {serverScript(), QStringLiteral("stop"), m_folder,
                                               QStringLiteral("immediate")});
}
