#pragma once

#include "db/resultset.h"

#include <QString>
#include <memory>

// A connection to a data source. It is given a connection string and opens by itself when
// the first statement runs over it; it stays open until close() or its end.
class Connection {
public:
    Connection() = default;
    virtual ~Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void setConnectionString(const QString& text) { m_connectionString = text; }
    const QString& connectionString() const { return m_connectionString; }
    // Kept for the shape of the connection settings; no connection here ever asks the user.
    void setLoginPrompt(bool prompt) { m_loginPrompt = prompt; }
    bool loginPrompt() const { return m_loginPrompt; }

    // Runs a query and returns its whole result. Throws EngineError.
    virtual std::shared_ptr<ResultSet> select(const QString& sql) = 0;
    // Runs a command that gives no result. Throws EngineError.
    virtual void execute(const QString& sql) = 0;
    virtual bool connected() const = 0;
    virtual void close() = 0;

private:
    QString m_connectionString;
    bool m_loginPrompt = true;
};
