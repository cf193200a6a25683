#pragma once

#include "db/resultset.h"

#include <QString>
#include <memory>
#include <span>
#include <string_view>

class Dialect;

// The values of a prepared statement's parameters, in order, as UTF-8 text.
using BoundValues = std::span<const std::string_view>;

// A connection to a card register: the engine interface under the card store (today the
// card file). It is given a connection string and opens by itself when the first statement
// runs over it; it stays open until close() or its end.
class Connection {
public:
    Connection() = default;
    virtual ~Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void setConnectionString(const QString& text) { m_connectionString = text; }
    const QString& connectionString() const { return m_connectionString; }

    // Runs a query and returns its whole result. Throws EngineError.
    virtual std::shared_ptr<ResultSet> select(const QString& sql) = 0;
    // Runs a command that gives no result. Throws EngineError.
    virtual void execute(const QString& sql) = 0;
    // Runs an insert and returns the key of the new row. Throws EngineError.
    virtual qint64 insert(const QString& sql) = 0;
    // A statement run many times with other values: its text holds the dialect's parameters
    // (Dialect::parameter) where the values go, and the engine compiles it once for the
    // connection (again after the connection was opened anew). Returns its number for the
    // calls below; keep it rather than preparing the same text again.
    virtual int prepare(const QString& sql) = 0;
    // Runs a prepared query with values bound to its parameters: whether it gives a row.
    // Throws EngineError.
    virtual bool preparedHasRow(int statement, BoundValues values) = 0;
    // Runs a prepared insert (in the dialect's insertReturningKey form) with values bound to
    // its parameters, and returns the key of the new row as insert() does. Throws EngineError.
    virtual qint64 preparedInsert(int statement, BoundValues values) = 0;
    // What differs in this engine's statements.
    virtual const Dialect& dialect() const = 0;
    virtual bool connected() const = 0;
    // A second connection to the same register, not yet open (for a worker thread or the
    // change listener).
    virtual std::unique_ptr<Connection> openAnother() const = 0;
    virtual void close() = 0;
    // Asks the statement running on this connection (on another thread) to stop: it then
    // fails. Safe to call from any thread, also when nothing runs.
    virtual void cancel() = 0;
    // Whether another connection committed a change to the register since the last call
    // (the first call only takes note). An engine that tells changes otherwise says false.
    virtual bool changedElsewhere() { return false; }
    // Whether the register is on another machine (a server), whose answers may be slow.
    virtual bool remote() const { return false; }

private:
    QString m_connectionString;
};
