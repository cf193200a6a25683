#pragma once

#include "db/connection.h"

struct sqlite3;
struct sqlite3_stmt;

// The card database: an SQLCipher file named by the "Data Source" of the connection string
// and keyed with its "Jet OLEDB:Database Password". Opened shared: another program may use
// the same file, and a lock held by it is waited for a few seconds before giving up.
class SqlCipherConnection final : public Connection {
public:
    SqlCipherConnection() = default;
    ~SqlCipherConnection() override;

    std::shared_ptr<ResultSet> select(const QString& sql) override;
    void execute(const QString& sql) override;
    bool connected() const override { return m_db != nullptr; }
    void close() override;

    // The statement as the engine runs it: the few Jet forms the program's statements use
    // ("Delete * from") become their SQLite equivalents. Exposed for tests.
    static QString toEngineDialect(const QString& sql);

    static constexpr int LockWaitMs = 5000;

private:
    void ensureOpen();
    sqlite3_stmt* prepare(const QString& sql);
    [[noreturn]] void fail(int code, const QString& sql = {});

    sqlite3* m_db = nullptr;
};
