#pragma once

#include "db/connection.h"

#include <functional>

struct sqlite3;
struct sqlite3_stmt;

// The card database: an SQLCipher file named by the "Data Source" of the connection string
// and keyed with its "Jet OLEDB:Database Password". Opened shared: another program may use
// the same file at the same time. While the file is open it runs with a write-ahead log, so
// that reading never waits for a writer; when the last program closes it, the log is folded
// back into the file.
//
// A statement that needs the write lock while another program holds it waits its turn: as
// long as the other program keeps writing, and at most lockWait() after its last write. The
// windows repaint meanwhile (user input waits), and the lock-wait feedback is told.
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

    // How long a writer waits after the other program's last sign of progress.
    static constexpr int LockWaitMs = 30000;
    static int lockWait();
    static void setLockWaitForTests(int milliseconds); // 0: LockWaitMs again

    // Told true when a statement starts waiting for another program's lock, false when the
    // wait ends (the user interface shows its wait cursor meanwhile).
    static void setLockWaitFeedback(std::function<void(bool waiting)> feedback);
    // The longest lock wait any connection of this program has seen, in milliseconds.
    static qint64 longestLockWait();

private:
    void ensureOpen();
    sqlite3_stmt* prepare(const QString& sql);
    [[noreturn]] void fail(int code, const QString& sql);
    QString explain(int code, const QString& engineMessage) const;
    static int waitForLock(void* connection, int attempt);
    bool otherProgramProgressed();
    void finishWait(); // after a statement that may have waited for a lock

    sqlite3* m_db = nullptr;
    QString m_path;
    bool m_waiting = false;
    qint64 m_waitStart = 0;
    qint64 m_lastProgress = 0;
    qint64 m_lastCheck = 0;
    QString m_progressMark;
};
