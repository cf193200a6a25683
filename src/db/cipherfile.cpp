#include "db/cipherfile.h"

#include <QFileInfo>
#include <algorithm>
#include <sqlite3.h>

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
