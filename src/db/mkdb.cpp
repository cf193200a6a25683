// Writes the delivered card database: an SQLCipher file of 4 KB pages keyed with the program's
// database password, holding the tables and rows of the schema script.
//
//   orvane_mkdb <schema.sql> <Data/db.edb> <password>
//
// A database that already holds cards, or that cannot be read, is left as it is: a build
// never throws away the user's cards. A new file is written beside it and renamed into place,
// so an interrupted build leaves no half-written database.

#include "db/cipherfile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <sqlite3.h>

namespace {

// -1: cannot be read; otherwise the number of cards.
long long cardsIn(const QString& path, const QByteArray& password) {
    sqlite3* db = nullptr;
    long long cards = -1;
    if (openCardFile(QFile::encodeName(path), password, SQLITE_OPEN_READONLY, {}, &db) ==
        SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT count(*) FROM D_B", -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW) {
            cards = sqlite3_column_int64(stmt, 0);
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close_v2(db);
    return cards;
}

bool writeDatabase(const QString& path, const QByteArray& schema, const QByteArray& password) {
    QFile::remove(path);
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                              SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK &&
              sqlite3_exec(db, cardKeyStatements(password, CardPageSize).constData(), nullptr,
                           nullptr, nullptr) == SQLITE_OK;
    char* error = nullptr;
    if (ok &&
        sqlite3_exec(db, "BEGIN;" + schema + ";COMMIT;", nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "orvane_mkdb: %s\n", error ? error : sqlite3_errmsg(db));
        ok = false;
    }
    sqlite3_free(error);
    ok = sqlite3_close(db) == SQLITE_OK && ok;
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: orvane_mkdb <schema.sql> <db.edb> <password>\n");
        return 2;
    }
    QFile schemaFile(QString::fromLocal8Bit(argv[1]));
    if (!schemaFile.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "orvane_mkdb: cannot read %s\n", argv[1]);
        return 1;
    }
    const QByteArray schema = schemaFile.readAll();
    const QString target = QString::fromLocal8Bit(argv[2]);
    const QByteArray password = argv[3];

    if (QFileInfo::exists(target)) {
        const long long cards = cardsIn(target, password);
        if (cards != 0) {
            std::fprintf(stderr, "orvane_mkdb: keeping %s (%s)\n", argv[2],
                         cards < 0 ? "cannot be read with the program's password"
                                   : "it holds cards");
            return 0;
        }
    }
    QDir().mkpath(QFileInfo(target).absolutePath());
    const QString fresh = target + QStringLiteral(".new");
    if (!writeDatabase(fresh, schema, password)) {
        QFile::remove(fresh);
        return 1;
    }
    QFile::remove(target);
    if (!QFile::rename(fresh, target)) {
        std::fprintf(stderr, "orvane_mkdb: cannot move %s into place\n", argv[2]);
        return 1;
    }
    return 0;
}
