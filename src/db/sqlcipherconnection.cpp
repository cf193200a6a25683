#include "db/sqlcipherconnection.h"

#include "db/cipherfile.h"
#include "db/connectionstring.h"
#include "db/engineerror.h"
#include "db/filedialect.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStorageInfo>
#include <QTemporaryFile>
#include <QThread>
#include <chrono>
#include <cstdio>
#include <sqlite3.h>

namespace {
const char* PasswordKey = "Jet OLEDB:Database Password";

// A lock held elsewhere is tried again this often; the windows repaint in between.
constexpr unsigned long LockRetryMs = 2;
// How often the files are looked at for signs of the other program's progress.
constexpr qint64 ProgressCheckMs = 100;

int lockWaitForTests = 0;
qint64 longestWait = 0;
int waits = 0;

struct StatementGuard {
    sqlite3_stmt* stmt;
    ~StatementGuard() { sqlite3_finalize(stmt); }
};

// Makes a prepared statement ready for its next run, its values no longer bound.
struct ResetGuard {
    sqlite3_stmt* stmt;
    ~ResetGuard() {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
    }
};

qint64 nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Size and time of last change of the database and of its log or journal: they move while
// another program writes.
QString fileMark(const QString& path) {
    QString mark;
    for (const QString& name :
         {path, path + QStringLiteral("-wal"), path + QStringLiteral("-journal")}) {
        const QFileInfo info(name);
        mark += QString::number(info.size()) + u'/' +
                QString::number(info.lastModified().toMSecsSinceEpoch()) + u';';
    }
    return mark;
}

bool fileWritable(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly);
}

bool folderWritable(const QString& folder) {
    QTemporaryFile probe(folder + QStringLiteral("/.orvane-XXXXXX"));
    return probe.open();
}

// What standard error may say of a statement: its first word and the table it names. Values
// never appear: they may be a card's data.
QString statementKind(const QString& sql) {
    static const QRegularExpression verb(QStringLiteral("^\\s*([A-Za-z]+)"));
    static const QRegularExpression table(
        QStringLiteral("\\b(?:from|into|update|table)\\s+([A-Za-z_][A-Za-z0-9_]*)"),
        QRegularExpression::CaseInsensitiveOption);
    QString kind = verb.match(sql).captured(1).toUpper();
    const QRegularExpressionMatch named = table.match(sql);
    if (named.hasMatch()) {
        kind += u' ' + named.captured(1);
    }
    return kind.isEmpty() ? QStringLiteral("statement") : kind;
}

// The engine's reason, with whatever it quotes from the statement left out, and after a
// colon only names of the schema.
QString engineReason(sqlite3* db, int code) {
    QString reason = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(code));
    static const QRegularExpression quoted(QStringLiteral("\"[^\"]*\"|'[^']*'"));
    reason.replace(quoted, QStringLiteral("\"…\""));
    static const QRegularExpression detail(QStringLiteral(": ([^:]*)$"));
    static const QRegularExpression schemaNames(QStringLiteral("^[A-Za-z0-9_. ]*$"));
    const QRegularExpressionMatch after = detail.match(reason);
    if (after.hasMatch() && !schemaNames.match(after.captured(1)).hasMatch()) {
        reason.truncate(after.capturedStart());
    }
    return reason;
}

// Tells whoever looks into a fault what failed and why, in the engine's words.
void reportFailure(const QString& what, sqlite3* db, int code) {
    const int extended = db ? sqlite3_extended_errcode(db) : code;
    std::fprintf(stderr, "orvane: card file: %s failed: %s (%d)\n", what.toUtf8().constData(),
                 engineReason(db, code).toUtf8().constData(), extended);
}

// Copies the card file with the log or journal a crash left beside it, as files this program
// may write, so that the engine can finish what was cut off in the copy.
bool copyCardFile(const QString& path, const QString& copyPath) {
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-journal")}) {
        if (!QFileInfo::exists(path + suffix)) {
            continue;
        }
        if (!QFile::copy(path + suffix, copyPath + suffix) ||
            !QFile::setPermissions(copyPath + suffix, QFile::ReadOwner | QFile::WriteOwner)) {
            return false;
        }
    }
    return true;
}
} // namespace

SqlCipherConnection::~SqlCipherConnection() {
    close();
}

int SqlCipherConnection::lockWait() {
    return lockWaitForTests > 0 ? lockWaitForTests : LockWaitMs;
}

void SqlCipherConnection::setLockWaitForTests(int milliseconds) {
    lockWaitForTests = milliseconds;
}

qint64 SqlCipherConnection::longestLockWait() {
    return longestWait;
}

int SqlCipherConnection::lockWaits() {
    return waits;
}

void SqlCipherConnection::cancel() {
    const std::lock_guard<std::mutex> lock(m_handleLock);
    m_cancelAsked = true;
    if (m_db) {
        sqlite3_interrupt(m_db);
    }
}

void SqlCipherConnection::setHandle(sqlite3* db) {
    const std::lock_guard<std::mutex> lock(m_handleLock);
    m_db = db;
    m_dataVersion = -1; // counted by each handle for itself
}

bool SqlCipherConnection::changedElsewhere() {
    const auto version = select(QStringLiteral("PRAGMA data_version"))->text(0, 0).toLongLong();
    const bool changed = m_dataVersion >= 0 && version != m_dataVersion;
    m_dataVersion = version;
    return changed;
}

std::unique_ptr<Connection> SqlCipherConnection::openAnother() const {
    auto another = std::make_unique<SqlCipherConnection>();
    another->setConnectionString(connectionString());
    return another;
}

void SqlCipherConnection::close() {
    if (!m_db) {
        return;
    }
    finalizePrepared();
    // The last program to close the file folds the log back and leaves the file in the
    // rollback form, which can still be read where the folder is read-only. While another
    // program has the file open this fails at once, and the log stays for that program.
    sqlite3_busy_handler(m_db, nullptr, nullptr);
    if (!m_copy) {
        sqlite3_exec(m_db, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr);
    }
    sqlite3* closing = m_db;
    setHandle(nullptr); // cancel() on another thread no longer reaches it
    sqlite3_close_v2(closing);
    m_copy.reset();
}

bool SqlCipherConnection::otherProgramProgressed() {
    const QString mark = fileMark(m_path);
    if (mark == m_progressMark) {
        return false;
    }
    m_progressMark = mark;
    return true;
}

int SqlCipherConnection::waitForLock(void* connection, int attempt) {
    auto* self = static_cast<SqlCipherConnection*>(connection);
    const qint64 now = nowMs();
    if (attempt == 0) {
        self->m_waiting = true;
        self->m_waitStart = now;
        self->m_lastProgress = now;
        self->m_progressMark = fileMark(self->m_path);
        self->m_lastCheck = now;
    } else if (now - self->m_lastCheck >= ProgressCheckMs) {
        self->m_lastCheck = now;
        if (self->otherProgramProgressed()) {
            self->m_lastProgress = now;
        }
    }
    if (now - self->m_lastProgress >= lockWait() || self->m_cancelAsked) {
        return 0; // no progress for the whole wait, or given up: the statement fails as busy
    }
    QThread::msleep(LockRetryMs);
    return 1;
}

void SqlCipherConnection::finishWait() {
    if (!m_waiting) {
        return;
    }
    m_waiting = false;
    ++waits;
    longestWait = std::max(longestWait, nowMs() - m_waitStart);
}

QString SqlCipherConnection::explain(int code) const {
    const QFileInfo file(m_path);
    const QString folder = QDir::toNativeSeparators(file.absolutePath());
    const QString fileName = QDir::toNativeSeparators(file.absoluteFilePath());
    const auto diskFull = [&] {
        return QStringLiteral(
                   "磁盘已满，本程序无法写入数据库。请在文件夹 %1 所在的磁盘上腾出空间后再试。")
            .arg(folder);
    };
    switch (code & 0xff) {
    case SQLITE_INTERRUPT:
        return QStringLiteral("已取消等待数据库，本次没有保存。");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral(
                   "另一个程序正在写入数据库，等了 %1 秒仍未写完。请关闭另一个程序，或稍后再试。")
            .arg(lockWait() / 1000);
    case SQLITE_FULL:
        return diskFull();
    case SQLITE_NOTADB:
        return QStringLiteral("无法打开数据库 %1：数据库密码不正确，或该文件不是本程序的数据库")
            .arg(fileName);
    case SQLITE_CORRUPT:
        return QStringLiteral("数据库文件 %1 已损坏。请用备份的文件替换它后再试。").arg(fileName);
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
    case SQLITE_PERM:
        if (!fileWritable(m_path)) {
            return QStringLiteral(
                       "数据库文件 %1 是只读的，本程序无法写入。请去掉该文件的只读属性后再试。")
                .arg(fileName);
        }
        if (!folderWritable(file.absolutePath())) {
            if (QFileInfo::exists(m_path + QStringLiteral("-journal"))) {
                return QStringLiteral("另一个程序上次写入数据库时中断了，要在文件夹 %1 "
                                      "中恢复，但该文件夹是只读的。"
                                      "请给该文件夹写入权限后再试。")
                    .arg(folder);
            }
            return QStringLiteral("数据库所在的文件夹 %1 "
                                  "是只读的，本程序无法写入。请给该文件夹写入权限后再试。")
                .arg(folder);
        }
        if (QStorageInfo(file.absolutePath()).bytesAvailable() == 0) {
            return diskFull();
        }
        break;
    default:
        break;
    }
    return QStringLiteral("本程序无法读写数据库文件 %1（错误 %2）。请关闭其他使用该文件的程序后"
                          "再试；如果一再出现，请用备份的文件替换它。")
        .arg(fileName)
        .arg(code);
}

void SqlCipherConnection::fail(int code, const QString& sql) {
    reportFailure(statementKind(sql), m_db, code);
    if (m_cancelAsked && ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_INTERRUPT)) {
        throw EngineError(explain(SQLITE_INTERRUPT));
    }
    switch (code & 0xff) {
    case SQLITE_CONSTRAINT:
        // A rule of the file refused the write: its own words say which.
        throw EngineError(QString::fromUtf8(sqlite3_errmsg(m_db)));
    case SQLITE_ERROR:
        throw EngineError(
            QStringLiteral("数据库无法执行这条语句（%1）").arg(engineReason(m_db, code)));
    default:
        throw EngineError(explain(code));
    }
}

void SqlCipherConnection::ensureOpen() {
    if (m_db) {
        return;
    }
    const ConnectionString settings = ConnectionString::parse(connectionString());
    const QString path = settings.value(QStringLiteral("Data Source"));
    if (path.isEmpty()) {
        throw EngineError(QStringLiteral("连接字符串中没有指定数据库文件"));
    }
    const QFileInfo file(path);
    if (!file.dir().exists()) {
        throw EngineError(QStringLiteral("找不到数据库文件夹：%1")
                              .arg(QDir::toNativeSeparators(file.absolutePath())));
    }
    if (!file.exists()) {
        throw EngineError(QStringLiteral("找不到数据库文件：%1")
                              .arg(QDir::toNativeSeparators(file.absoluteFilePath())));
    }
    if (!file.isReadable()) {
        throw EngineError(QStringLiteral("没有读取数据库文件的权限：%1")
                              .arg(QDir::toNativeSeparators(file.absoluteFilePath())));
    }
    m_path = path;
    m_key = settings.value(QString::fromLatin1(PasswordKey));

    sqlite3* db = nullptr;
    const int check = openFile(&db);
    if (check == SQLITE_OK) {
        setHandle(db);
        return;
    }
    reportFailure("open", db, check);
    sqlite3_close_v2(db);
    if (check == SQLITE_NOTADB) {
        throw EngineError(explain(check));
    }
    openCopy(check);
}

int SqlCipherConnection::openFile(sqlite3** db) {
    // The key is only tried on the first read: a wrong password or a file of another kind
    // fails there with SQLITE_NOTADB.
    const int check = openCardFile(
        QFile::encodeName(m_path), m_key.toUtf8(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
        [this](sqlite3* opened) {
            sqlite3_busy_handler(opened, &SqlCipherConnection::waitForLock, this);
        },
        db);
    finishWait();
    if (check == SQLITE_OK) {
        // The write-ahead log: readers never wait for a writer, and a commit writes only the
        // log. Where the file or its folder cannot be written the switch fails, and the file
        // is used as it is (reading works; a write then fails with a clear message).
        sqlite3_exec(*db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
        sqlite3_exec(*db, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
        finishWait();
    }
    return check;
}

void SqlCipherConnection::openCopy(int failure) {
    auto copy = std::make_unique<QTemporaryDir>();
    const QString copyPath = copy->filePath(QStringLiteral("db.edb"));
    sqlite3* db = nullptr;
    int check = failure;
    if (copy->isValid() && copyCardFile(m_path, copyPath)) {
        check = openCardFile(QFile::encodeName(copyPath), m_key.toUtf8(),
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, {}, &db);
    }
    if (check != SQLITE_OK) {
        if (db) {
            reportFailure("open a copy", db, check);
        }
        sqlite3_close_v2(db);
        // The file's own failure tells the user what to do, unless the copy shows that the
        // file is damaged or keyed otherwise.
        const int shown =
            (check & 0xff) == SQLITE_NOTADB || (check & 0xff) == SQLITE_CORRUPT ? check : failure;
        throw EngineError(explain(shown));
    }
    // Nothing written to the copy could ever reach the file.
    sqlite3_exec(db, "PRAGMA query_only = 1", nullptr, nullptr, nullptr);
    m_copy = std::move(copy);
    setHandle(db);
}

void SqlCipherConnection::tryFileAgain() {
    const bool mayBeWritableNow = m_copy || sqlite3_db_readonly(m_db, "main") == 1;
    if (!mayBeWritableNow || !sqlite3_get_autocommit(m_db)) {
        return;
    }
    sqlite3* db = nullptr;
    if (openFile(&db) != SQLITE_OK || sqlite3_db_readonly(db, "main") == 1) {
        sqlite3_close_v2(db);
        return;
    }
    finalizePrepared();
    sqlite3* closing = m_db;
    setHandle(db);
    sqlite3_close_v2(closing);
    m_copy.reset();
}

SqlCipherConnection::KeyCheck SqlCipherConnection::checkKey(const QString& path,
                                                            const QString& key) {
    const auto verdict = [](int code) {
        return code == SQLITE_OK       ? KeyCheck::Opens
               : code == SQLITE_NOTADB ? KeyCheck::WrongKey
                                       : KeyCheck::CannotTell;
    };
    const auto tryOpen = [&key](const QString& file, int flags) {
        sqlite3* db = nullptr;
        const int code = openCardFile(QFile::encodeName(file), key.toUtf8(), flags, {}, &db);
        sqlite3_close_v2(db);
        return code;
    };
    // Read-only: the engine neither rolls back a journal nor folds a log here.
    const KeyCheck onFile = verdict(tryOpen(path, SQLITE_OPEN_READONLY));
    if (onFile != KeyCheck::CannotTell) {
        return onFile;
    }
    QTemporaryDir copy;
    const QString copyPath = copy.filePath(QStringLiteral("db.edb"));
    if (!copy.isValid() || !copyCardFile(path, copyPath)) {
        return KeyCheck::CannotTell;
    }
    return verdict(tryOpen(copyPath, SQLITE_OPEN_READWRITE));
}

sqlite3_stmt* SqlCipherConnection::compile(const QString& sql) {
    m_cancelAsked = false;
    ensureOpen();
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &stmt, &tail);
    finishWait();
    if (rc != SQLITE_OK) {
        fail(rc, sql);
    }
    if (!stmt) {
        throw EngineError(QStringLiteral("语句为空"));
    }
    // One statement at a time: anything after the first statement is refused, not run.
    if (tail && !QByteArray(tail).trimmed().isEmpty() && QByteArray(tail).trimmed() != ";") {
        sqlite3_finalize(stmt);
        std::fprintf(stderr, "orvane: card file: %s refused: a second statement follows\n",
                     statementKind(sql).toUtf8().constData());
        throw EngineError(QStringLiteral("一次只能执行一条语句"));
    }
    return stmt;
}

std::shared_ptr<ResultSet> SqlCipherConnection::select(const QString& sql) {
    StatementGuard guard{compile(sql)};
    sqlite3_stmt* stmt = guard.stmt;
    const int columns = sqlite3_column_count(stmt);
    QStringList names;
    for (int c = 0; c < columns; ++c) {
        names << QString::fromUtf8(sqlite3_column_name(stmt, c));
    }
    auto result = std::make_shared<ResultSet>(names);
    std::vector<bool> integerSeen(columns, false);
    std::vector<bool> otherSeen(columns, false);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            const int type = sqlite3_column_type(stmt, c);
            if (type == SQLITE_INTEGER) {
                integerSeen[c] = true;
            } else if (type != SQLITE_NULL) {
                otherSeen[c] = true;
            }
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
            result->append(text ? text : "", sqlite3_column_bytes(stmt, c));
        }
    }
    finishWait();
    if (rc != SQLITE_DONE) {
        fail(rc, sql);
    }
    for (int c = 0; c < columns; ++c) {
        result->setIntegerColumn(c, integerSeen[c] && !otherSeen[c]);
    }
    return result;
}

void SqlCipherConnection::execute(const QString& sql) {
    if (m_db) {
        tryFileAgain(); // a write goes through as soon as the file can be written again
    }
    StatementGuard guard{compile(sql)};
    int rc;
    while ((rc = sqlite3_step(guard.stmt)) == SQLITE_ROW) {
    }
    finishWait();
    if (rc != SQLITE_DONE) {
        fail(rc, sql);
    }
}

qint64 SqlCipherConnection::insert(const QString& sql) {
    execute(sql);
    return sqlite3_last_insert_rowid(m_db);
}

int SqlCipherConnection::prepare(const QString& sql) {
    m_prepared.push_back({sql});
    return int(m_prepared.size()) - 1;
}

void SqlCipherConnection::finalizePrepared() {
    for (Prepared& prepared : m_prepared) {
        sqlite3_finalize(prepared.stmt);
        prepared.stmt = nullptr;
    }
}

sqlite3_stmt* SqlCipherConnection::bound(int statement, BoundValues values) {
    Prepared& prepared = m_prepared.at(size_t(statement));
    if (!prepared.stmt) {
        prepared.stmt = compile(prepared.sql);
    }
    m_cancelAsked = false;
    if (sqlite3_bind_parameter_count(prepared.stmt) != int(values.size())) {
        throw EngineError(QStringLiteral("语句的参数个数不对"));
    }
    for (size_t i = 0; i < values.size(); ++i) {
        // A value kept whole, NUL characters included; an empty one is an empty text, not
        // NULL. The values stay where they are until the statement is reset.
        const std::string_view value = values[i];
        sqlite3_bind_text(prepared.stmt, int(i + 1), value.data() ? value.data() : "",
                          int(value.size()), SQLITE_STATIC);
    }
    return prepared.stmt;
}

bool SqlCipherConnection::preparedHasRow(int statement, BoundValues values) {
    sqlite3_stmt* stmt = bound(statement, values);
    const ResetGuard reset{stmt};
    const int rc = sqlite3_step(stmt);
    finishWait();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        fail(rc, m_prepared[size_t(statement)].sql);
    }
    return rc == SQLITE_ROW;
}

qint64 SqlCipherConnection::preparedInsert(int statement, BoundValues values) {
    if (m_db) {
        tryFileAgain(); // as before any other write
    }
    sqlite3_stmt* stmt = bound(statement, values);
    const ResetGuard reset{stmt};
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    finishWait();
    if (rc != SQLITE_DONE) {
        fail(rc, m_prepared[size_t(statement)].sql);
    }
    return sqlite3_last_insert_rowid(m_db);
}

const Dialect& SqlCipherConnection::dialect() const {
    return fileDialect();
}
