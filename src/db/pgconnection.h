#pragma once

#include "db/connection.h"

#include <QString>
#include <optional>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;
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
// opened afresh at once.
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
    // Which register this is, for the window title: "服务器 cards@db.example.com:5432".
    QString registerName() const;
    bool connected() const override { return m_conn != nullptr; }
    void close() override;

    // Writes every row of rows into table's columns (the result's columns, in order) with
    // COPY … FROM STDIN, as part of the transaction under way. An empty value is stored as an
    // empty text. Throws EngineError (a NUL character in a value: nulRefusedMessage()).
    void copyIn(const QString& table, const ResultSet& rows);

    // Change notices: after listenForChanges(), the socket becomes readable when another
    // program (or this one) commits a change of the cards or the visits; takeChangeNotices()
    // then reads what arrived and says whether any notice was among it. Both throw EngineError
    // when the connection is lost.
    void listenForChanges();
    int socketDescriptor() const;
    bool takeChangeNotices();

    // The libpq connection, for the benchmarks' baseline. Opens it.
    pg_conn* handle();

private:
    void ensureOpen();
    void openForStatement();
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

    struct Prepared {
        QString sql;
        QByteArray name;
        bool onSession = false; // prepared on the session open
    };

    pg_conn* m_conn = nullptr;
    std::vector<Prepared> m_prepared;
    std::string m_boundText;      // the values of the statement running, each ended by a NUL
    bool m_inTransaction = false; // when the statement that failed was sent
    QString m_lastState;          // the SQLSTATE of the last failure
};

// What a save is told when the card was saved by someone else since it was read.
QString changedSinceReadMessage();

// libpq's keyword=value form of a value: plain when it can be, else between single quotes
// with quotes and backslashes escaped.
QString pgConninfoValue(const QString& value);
