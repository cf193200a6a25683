#pragma once

#include <QString>
#include <QStringList>
#include <QTest>

// The private PostgreSQL server that scripts/test.sh starts: its connection string comes in
// ORVANE_TEST_SERVER. Without it a server test is skipped, except under CI, where it fails.
QString testServerConnectionString();
#define REQUIRE_TEST_SERVER()                                                                      \
    do {                                                                                           \
        if (testServerConnectionString().isEmpty()) {                                              \
            if (qEnvironmentVariableIsSet("CI"))                                                   \
                QFAIL("ORVANE_TEST_SERVER is not set: scripts/test.sh starts the test server");    \
            QSKIP("no test server (scripts/test.sh starts one and sets ORVANE_TEST_SERVER)");      \
        }                                                                                          \
    } while (false)

// A fresh, empty database on the test server for one test, dropped (with whatever still
// connects to it) at its end. A server given explicitly (a test's own private server) is used
// instead of the shared one.
class ScratchServerDatabase {
public:
    explicit ScratchServerDatabase(const QString& server = testServerConnectionString());
    ~ScratchServerDatabase();
    ScratchServerDatabase(const ScratchServerDatabase&) = delete;
    ScratchServerDatabase& operator=(const ScratchServerDatabase&) = delete;

    const QString& name() const { return m_name; }
    QString connectionString() const; // the server's string, naming this database

    // Runs one statement as the server's superuser on this database (to look behind the
    // program, or to make roles); gives the first value of its result, "" when none.
    // Fails the test on an error.
    QString run(const QString& sql) const;

private:
    QString m_server;
    QString m_name;
};

// scripts/server-setup.sh run on the test server (as its superuser) with arguments, input on
// its standard input (a password a line per user).
struct SetupRun {
    int exitCode = -1;
    QString output; // standard output
    QString errors; // standard error
};
SetupRun runServerSetup(const QStringList& arguments, const QByteArray& input,
                        const QString& server = testServerConnectionString());

// A session of another program on a database, open until its end: what it commits, the
// program hears of as another program's change; it can hold a transaction or a lock open.
class ServerSession {
public:
    explicit ServerSession(const QString& connectionString);
    ~ServerSession();
    ServerSession(const ServerSession&) = delete;
    ServerSession& operator=(const ServerSession&) = delete;

    // Runs statements; the first value of the last result ("" when none). Fails the test's
    // process on an error.
    QString run(const QString& sql);
    int backendPid() const;

private:
    struct pg_conn* m_conn;
};

// A server of a test's own in a temporary folder, for a test that stops and starts it (and
// for the benchmarks, which give it the server's usual settings: no settings).
class PrivateServer {
public:
    explicit PrivateServer(const QStringList& settings = {QStringLiteral("fsync=off")});
    ~PrivateServer();
    QString connectionString() const { return m_connectionString; }
    bool start();            // starts it again after stop(): true when it runs
    void stopImmediately();  // as a crash would stop it
    QString logFile() const; // what the server wrote, statements too when it logs them

private:
    QString m_folder;
    QStringList m_settings;
    QString m_connectionString;
};
