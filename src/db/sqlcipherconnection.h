#pragma once

#include "db/connection.h"

#include <QTemporaryDir>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// The card database: an SQLCipher file named by the "Data Source" of the connection string
// and keyed with its "Jet OLEDB:Database Password". Opened shared: another program may use
// the same file at the same time. While the file is open it runs with a write-ahead log, so
// that reading never waits for a writer; when the last program closes it, the log is folded
// back into the file.
//
// A file that a crash (of this program, another program or the machine) left where this
// program cannot bring it into shape, such as a log or a journal beside it in a folder that
// has become read-only, is read from a private copy in which the engine finishes what was cut
// off; its cards can be viewed, and a write tells the user what to do to write again. A
// command first tries the file itself again (also a file that opened read-only), so a write
// goes through as soon as that is done, without a restart.
//
// A statement that needs the write lock while another program holds it waits its turn: as
// long as the other program keeps writing, and at most lockWait() after its last write, or
// until cancel() gives up the wait.
class SqlCipherConnection final : public Connection {
public:
    SqlCipherConnection() = default;
    ~SqlCipherConnection() override;

    std::shared_ptr<ResultSet> select(const QString& sql) override;
    void execute(const QString& sql) override;
    qint64 insert(const QString& sql) override;
    int prepare(const QString& sql) override;
    bool preparedHasRow(int statement, BoundValues values) override;
    qint64 preparedInsert(int statement, BoundValues values) override;
    const Dialect& dialect() const override;
    bool connected() const override { return m_db != nullptr; }
    std::unique_ptr<Connection> openAnother() const override;
    void close() override;
    void cancel() override;
    // Through the file's data version, as this connection last read it.
    bool changedElsewhere() override;

    // How long a writer waits after the other program's last sign of progress.
    static constexpr int LockWaitMs = 30000;
    static int lockWait();
    static void setLockWaitForTests(int milliseconds); // 0: LockWaitMs again

    // The longest lock wait any connection of this program has seen, in milliseconds.
    static qint64 longestLockWait();
    // How many statements of this program have waited for another program's lock.
    static int lockWaits();

    // Whether the key opens the card file at path, found without writing to the file (a
    // wrong key cannot damage it): a file the engine would have to repair first is tried on
    // a private copy.
    enum class KeyCheck { Opens, WrongKey, CannotTell };
    static KeyCheck checkKey(const QString& path, const QString& key);

    // True while the cards are read from a private copy (see above).
    bool readingCopy() const { return m_copy != nullptr; }

private:
    void ensureOpen();
    void setHandle(sqlite3* db);
    int openFile(sqlite3** db);
    void openCopy(int failure);
    void tryFileAgain(); // before a command, on a copy or a file opened read-only
    sqlite3_stmt* compile(const QString& sql);
    // The prepared statement with values bound, compiled first where it is not yet.
    sqlite3_stmt* bound(int statement, BoundValues values);
    void finalizePrepared(); // before the handle closes or is replaced
    [[noreturn]] void fail(int code, const QString& sql);
    QString explain(int code) const; // what happened and what to do, in the user's words
    static int waitForLock(void* connection, int attempt);
    bool otherProgramProgressed();
    void finishWait(); // after a statement that may have waited for a lock

    struct Prepared {
        QString sql;
        sqlite3_stmt* stmt = nullptr; // compiled on first use over the handle open
    };

    sqlite3* m_db = nullptr;
    std::mutex m_handleLock; // guards m_db against cancel() on another thread
    std::atomic<bool> m_cancelAsked{false};
    qint64 m_dataVersion = -1;
    std::vector<Prepared> m_prepared;
    QString m_path;
    QString m_key;
    std::unique_ptr<QTemporaryDir> m_copy; // the private copy being read, if any
    bool m_waiting = false;
    qint64 m_waitStart = 0;
    qint64 m_lastProgress = 0;
    qint64 m_lastCheck = 0;
    QString m_progressMark;
};
