#include "db/sqlcipherconnection.h"

#include "db/connectionstring.h"
#include "db/engineerror.h"
#include "db/sqltext.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <sqlite3.h>

namespace {
const char* PasswordKey = "Jet OLEDB:Database Password";

struct StatementGuard {
    sqlite3_stmt* stmt;
    ~StatementGuard() { sqlite3_finalize(stmt); }
};
} // namespace

SqlCipherConnection::~SqlCipherConnection() {
    close();
}

void SqlCipherConnection::close() {
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

QString SqlCipherConnection::toEngineDialect(const QString& sql) {
    static const QRegularExpression deleteStar(QStringLiteral("^(\\s*)delete\\s+\\*\\s+from\\b"),
                                               QRegularExpression::CaseInsensitiveOption);
    QString result = sql;
    result.replace(deleteStar, QStringLiteral("\\1DELETE FROM"));
    return result;
}

void SqlCipherConnection::fail(int code, const QString& sql) {
    QString message = QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(code));
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED) {
        message = QStringLiteral("数据库正被另一个程序占用，请稍后再试（%1）").arg(message);
    } else if (code == SQLITE_READONLY) {
        message = QStringLiteral("数据库文件是只读的，无法写入（%1）").arg(message);
    } else if (!sql.isEmpty()) {
        message = QStringLiteral("%1，语句：%2").arg(message, sql);
    }
    throw EngineError(message);
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

    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString reason = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close_v2(db);
        throw EngineError(QStringLiteral("无法打开数据库文件 %1：%2")
                              .arg(QDir::toNativeSeparators(path), reason));
    }
    sqlite3_busy_timeout(db, LockWaitMs);
    const QByteArray key = QStringLiteral("PRAGMA key = '%1'")
                               .arg(sqlText(settings.value(QString::fromLatin1(PasswordKey))))
                               .toUtf8();
    // The key is only tried on the first read: a wrong password or a file of another kind
    // fails here with SQLITE_NOTADB.
    int check = sqlite3_exec(db, key.constData(), nullptr, nullptr, nullptr);
    if (check == SQLITE_OK) {
        check = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    if (check != SQLITE_OK) {
        const QString reason = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close_v2(db);
        if (check == SQLITE_NOTADB) {
            throw EngineError(
                QStringLiteral("无法打开数据库 %1：数据库密码不正确，或该文件不是本程序的数据库")
                    .arg(QDir::toNativeSeparators(path)));
        }
        if (check == SQLITE_BUSY) {
            throw EngineError(QStringLiteral("数据库正被另一个程序占用，请稍后再试"));
        }
        throw EngineError(
            QStringLiteral("无法打开数据库 %1：%2").arg(QDir::toNativeSeparators(path), reason));
    }
    m_db = db;
}

sqlite3_stmt* SqlCipherConnection::prepare(const QString& sql) {
    ensureOpen();
    const QByteArray text = toEngineDialect(sql).toUtf8();
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &stmt, &tail);
    if (rc != SQLITE_OK) {
        fail(rc, sql);
    }
    if (!stmt) {
        throw EngineError(QStringLiteral("语句为空"));
    }
    // One statement at a time: anything after the first statement is refused, not run.
    if (tail && !QByteArray(tail).trimmed().isEmpty() && QByteArray(tail).trimmed() != ";") {
        sqlite3_finalize(stmt);
        throw EngineError(QStringLiteral("语句后面还有多余的内容：%1").arg(sql));
    }
    return stmt;
}

std::shared_ptr<ResultSet> SqlCipherConnection::select(const QString& sql) {
    StatementGuard guard{prepare(sql)};
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
    if (rc != SQLITE_DONE) {
        fail(rc, sql);
    }
    for (int c = 0; c < columns; ++c) {
        result->setIntegerColumn(c, integerSeen[c] && !otherSeen[c]);
    }
    return result;
}

void SqlCipherConnection::execute(const QString& sql) {
    StatementGuard guard{prepare(sql)};
    int rc;
    while ((rc = sqlite3_step(guard.stmt)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
        fail(rc, sql);
    }
}
