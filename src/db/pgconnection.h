#pragma once

#include "db/connection.h"

#include "db/storechanges.h"

#include <QString>
#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;
struct pg_cancel;
class Dialect;

// The card register on a PostgreSQL server, through libpq. The connection string is libpq's
// own ("host=… dbname=… user=…" or a postgresql:// address); a password comes from it, from
// ~/.pgpass or from PGPASSWORD, and no message of this class ever shows it.
//
// The connection opens when the first statement runs. Opening an empty database creates the
// register (tables, lookup rows, the default row) when the user may; otherwise it fails with
// a message naming what the administrator must run. A lost connection fails the statement
// with a message that says whether the change was saved, and the next statement connects
// again; one found broken before a statement is sent, with no transaction under way, is
// opened afresh at once. A transaction is never carried on over a new connection: once the
// connection broke inside one, every statement fails until the transaction is rolled back,
// and COMMIT succeeds only when the server says it committed.
//
// Every session waits a bounded time: for a lock (LockTimeoutMs), for a statement
// (StatementTimeoutMs) and for a transaction left idle (IdleTransactionTimeoutMs); cancel()
// ends a wait at once from another thread.
//
// Results are read with COPY (…) TO STDOUT straight into the ResultSet.
class PgConnection final : public Connection {
public:
    PgConnection() = default;
    explicit PgConnection(const QString& connectionString);
    ~PgConnection() override;

    std::shared_ptr<ResultSet> select(const QString& sql) override;
    void execute(const QString& sql) override;
    // Runs an insert (with the dialect's RETURNING ID) and gives the new key, or 0 when the
    // server stored nothing because a live duplicate exists (ON CONFLICT DO NOTHING).
    qint64 insert(const QString& sql) override;
    // Prepared statements are named on the server's session and prepared there when first
    // run on it; a value with a NUL character is refused (nulRefusedMessage()), nothing sent.
    int prepare(const QString& sql) override;
    bool preparedHasRow(int statement, BoundValues values) override;
    qint64 preparedInsert(int statement, BoundValues values) override;
    const Dialect& dialect() const override;
    std::unique_ptr<Connection> openAnother() const override;
    // The first call asks the server to stop the statement; a later one, while the server
    // still does not answer (a stalled server), gives up the connection itself.
    void cancel() override;
    bool remote() const override { return true; }
    // Which register this is, for the window title: "服务器 cards@db.example.com:5432".
    QString registerName() const;
    bool connected() const override { return m_conn != nullptr; }
    void close() override;

    // Writes every row of rows into table's columns (the result's columns, in order) with
    // COPY … FROM STDIN, as part of the transaction under way. An empty value is stored as an
    // empty text. Throws EngineError (a NUL character in a value: nulRefusedMessage()).
    void copyIn(const QString& table, const ResultSet& rows);

    // Change notices: after listenForChanges(), the socket becomes readable when a program
    // commits a change of the cards or the visits; takeChangeNotices() then reads what arrived
    // and gives what changed by key, leaving out what sessions of this program changed (the
    // program hears of those from its store). Both throw EngineError when the connection is
    // lost.
    void listenForChanges();
    int socketDescriptor() const;
    StoreChanges takeChangeNotices();

    static constexpr int LockTimeoutMs = 5000;
    static constexpr int StatementTimeoutMs = 30000;
    static constexpr int IdleTransactionTimeoutMs = 60000;

    // The libpq connection, for the benchmarks' baseline. Opens it.
    pg_conn* handle();

private:
    void ensureOpen();
    void openForStatement();
    void dropConnection();
    // Reads what the socket holds, without waiting: when the server has dropped the
    // connection, closes it and gives libpq's reason.
    std::optional<QString> droppedReason();
    void createRegister();
    pg_result* run(const QString& sql, bool resultRows);
    pg_result* runPrepared(int statement, BoundValues values);
    // The result of a statement that has run, or fail() when it failed.
    pg_result* succeeded(pg_result* result, const QString& sql, bool resultRows);
    [[noreturn]] void fail(pg_result* result, const QString& sql);
    QString lostMessage(bool inTransaction, bool wasWrite) const;
    void commitTransaction(const QString& sql);
    void rollbackTransaction(const QString& sql);

    struct Prepared {
        QString sql;
        QByteArray name;
        bool onSession = false; // prepared on the session open
    };

    pg_conn* m_conn = nullptr;
    std::mutex m_cancelLock; // guards m_cancel against close() on another thread
    pg_cancel* m_cancel = nullptr;
    std::atomic<bool> m_cancelAsked{false};
    int m_cancelRequests = 0; // since the statement under way began
    int m_backendPid = 0;
    bool m_transactionOpen = false; // BEGIN sent, COMMIT or ROLLBACK not yet
    std::vector<Prepared> m_prepared;
    std::string m_boundText;      // the values of the statement running, each ended by a NUL
    bool m_inTransaction = false; // when the statement that failed was sent
    QString m_lastState;          // the SQLSTATE of the last failure
};

// What a save is told when the card was saved by someone else since it was read.
QString changedSinceReadMessage();

// Whether a server session (by its backend process number) is one of this program's.
bool isOwnServerSession(int backendPid);

// The change a notice's payload names ("d_b:UPDATE:12", "dlist:INSERT:12:40": table,
// operation, card key and, for a visit, its own key) added to changes; a payload of another
// form (a register set up by an older version) asks for everything to be read again.
void addChangeNotice(const QString& payload, StoreChanges& changes);

// libpq's keyword=value form of a value: plain when it can be, else between single quotes
// with quotes and backslashes escaped.
QString pgConninfoValue(const QString& value);
