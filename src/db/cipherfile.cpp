#include "db/cipherfile.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

QByteArray cardKeyStatements(const QByteArray& password, int pageSize) {
    QByteArray quoted = password;
    quoted.replace("'", "''");
    return "PRAGMA key = '" + quoted +
           "'; PRAGMA cipher_page_size = " + QByteArray::number(pageSize) + ";";
}

namespace {
int openWithPageSize(const QByteArray& path, const QByteArray& password, int flags,
                     const std::function<void(sqlite3*)>& opened, int pageSize, sqlite3** db) {
    int rc = sqlite3_open_v2(path.constData(), db, flags, nullptr);
    if (rc == SQLITE_OK) {
        if (opened) {
            opened(*db);
        }
        rc = sqlite3_exec(*db, cardKeyStatements(password, pageSize).constData(), nullptr, nullptr,
                          nullptr);
    }
    if (rc == SQLITE_OK) {
        // The key is only tried on the first read.
        rc = sqlite3_exec(*db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    return rc;
}
} // namespace

int openCardFile(const QByteArray& path, const QByteArray& password, int flags,
                 const std::function<void(sqlite3*)>& opened, sqlite3** db) {
    *db = nullptr;
    int rc = openWithPageSize(path, password, flags, opened, CardPageSize, db);
    if (rc == SQLITE_NOTADB) {
        sqlite3_close_v2(*db);
        rc = openWithPageSize(path, password, flags, opened, OlderCardPageSize, db);
    }
    if (rc == SQLITE_OK) {
        // A cache smaller than the file would be emptied by the list's own scan before the
        // visit count reads the card table again: such a file keeps the engine's default.
        const qint64 cacheBytes = QFileInfo(QString::fromLocal8Bit(path)).size() * 5 / 4;
        if (cacheBytes <= MaxCacheBytes) {
            const qint64 cacheKb = std::max<qint64>(cacheBytes / 1024, 2048);
            sqlite3_exec(*db, ("PRAGMA cache_size = -" + QByteArray::number(cacheKb)).constData(),
                         nullptr, nullptr, nullptr);
        }
    }
    return rc;
}

namespace {
int run(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// A statement with the given texts bound to ?1, ?2…; its first value as text, if any.
int runBound(sqlite3* db, const char* sql, const QList<QByteArray>& texts,
             QByteArray* value = nullptr) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    for (int i = 0; rc == SQLITE_OK && i < texts.size(); ++i) {
        rc = sqlite3_bind_text(stmt, i + 1, texts[i].constData(), int(texts[i].size()),
                               SQLITE_TRANSIENT);
    }
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW && value) {
            *value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        }
        rc = rc == SQLITE_ROW || rc == SQLITE_DONE ? SQLITE_OK : rc;
    }
    sqlite3_finalize(stmt);
    return rc;
}

// The number of rows of every table and the engine's own check, as one text.
QByteArray contentsMark(sqlite3* db, int* rc) {
    QByteArray mark;
    *rc = runBound(db, "PRAGMA integrity_check", {}, &mark);
    for (const char* table : {"D_B", "DList", "D_Type", "D_Sex", "D_P", "D_Mr"}) {
        QByteArray rows;
        if (*rc == SQLITE_OK) {
            *rc = runBound(db, QByteArray("SELECT count(*) FROM ") + table, {}, &rows);
        }
        mark += '/' + rows;
    }
    return mark;
}

bool syncToDisk(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return synced;
}

// Writes the rekeyed copy of the file open in db (held exclusively) and checks it.
int writeRekeyedCopy(sqlite3* db, const QString& copy, const QByteArray& newKey) {
    const QByteArray copyName = QFile::encodeName(copy);
    // An empty file is an empty database; the file's own connection may not create one.
    QFile empty(copy);
    if (!empty.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
        !empty.setPermissions(QFile::ReadOwner | QFile::WriteOwner)) {
        return SQLITE_CANTOPEN;
    }
    empty.close();
    int rc = runBound(db, "ATTACH DATABASE ?1 AS rekeyed KEY ?2", {copyName, newKey});
    if (rc != SQLITE_OK) {
        return rc;
    }
    rc = run(db,
             ("PRAGMA rekeyed.cipher_page_size = " + QByteArray::number(CardPageSize)).constData());
    if (rc == SQLITE_OK) {
        rc = run(db, "BEGIN EXCLUSIVE");
    }
    if (rc == SQLITE_OK) {
        rc = run(db, "SELECT sqlcipher_export('rekeyed')");
        rc = run(db, rc == SQLITE_OK ? "COMMIT" : "ROLLBACK") == SQLITE_OK ? rc : SQLITE_ERROR;
    }
    run(db, "DETACH DATABASE rekeyed");
    if (rc != SQLITE_OK) {
        return rc;
    }
    if (!syncToDisk(copy)) {
        return SQLITE_IOERR_FSYNC;
    }
    // The copy must read with the new key and hold what the file holds.
    sqlite3* check = nullptr;
    rc = openCardFile(copyName, newKey, SQLITE_OPEN_READONLY, {}, &check);
    int markRc = SQLITE_OK;
    const bool same = rc == SQLITE_OK && contentsMark(check, &markRc) == contentsMark(db, &rc) &&
                      markRc == SQLITE_OK && rc == SQLITE_OK;
    sqlite3_close_v2(check);
    return same ? SQLITE_OK : (rc != SQLITE_OK ? rc : SQLITE_CORRUPT);
}
} // namespace

int rekeyCardFile(const QString& path, const QByteArray& oldKey, const QByteArray& newKey) {
    const QString copy = path + QStringLiteral(".rekey");
    sqlite3* db = nullptr;
    int rc = openCardFile(QFile::encodeName(path), oldKey, SQLITE_OPEN_READWRITE, {}, &db);
    // The log is folded back first, so the file alone holds every card. The switch succeeds
    // only when no other program has the file open.
    QByteArray mode;
    if (rc == SQLITE_OK) {
        rc = runBound(db, "PRAGMA journal_mode = DELETE", {}, &mode);
    }
    if (rc == SQLITE_OK && mode != "delete") {
        rc = SQLITE_BUSY;
    }
    // From here on this connection keeps every lock it takes until it closes: nobody writes
    // to the file between the copy and the rename.
    if (rc == SQLITE_OK) {
        rc = run(db, "PRAGMA locking_mode = EXCLUSIVE");
    }
    if (rc == SQLITE_OK) {
        QFile::remove(copy + QStringLiteral("-journal")); // left by a change cut off before
        QFile::remove(copy);
        rc = writeRekeyedCopy(db, copy, newKey);
    }
    if (rc == SQLITE_OK) {
        // A program that opened the file meanwhile waits for the lock on the file now
        // replaced: emptied, it reads no cards there instead of writing where nobody looks.
        QFile old(path);
        const bool held = old.open(QIODevice::ReadWrite);
        if (::rename(QFile::encodeName(copy).constData(), QFile::encodeName(path).constData()) !=
            0) {
            rc = SQLITE_IOERR;
        } else {
            syncToDisk(QFileInfo(path).absolutePath()); // the rename itself, on the disk
            if (held) {
                old.resize(0);
            }
        }
    }
    QFile::remove(copy + QStringLiteral("-journal"));
    if (rc != SQLITE_OK) {
        QFile::remove(copy);
    }
    sqlite3_close_v2(db);
    return rc;
}
