#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

struct sqlite3;

// How a card file is encrypted and cached. Files written by this build use 4 KB pages, which
// the engine decrypts in a quarter of the calls that the former 1 KB pages needed; a file of
// an older build keeps its 1 KB pages and opens as before. The page size is not readable
// from an encrypted file, so it is found by trying: the current size first, then the older.
constexpr int CardPageSize = 4096;
constexpr int OlderCardPageSize = 1024;

// The statements that key a new connection for a file of the given page size.
QByteArray cardKeyStatements(const QByteArray& password, int pageSize);

// Opens the file with the engine's flags, hands the new handle to opened (to set how it
// waits for another program's lock), keys it with the password and reads it once;
// returns the engine's code of that read (SQLITE_NOTADB: a wrong password, or not a card
// file) with *db open either way, for the caller to use or to close. A file that reads
// gets a page cache large enough to hold it when that takes no more than MaxCacheBytes, so
// that a list read straight after another finds the pages it needs already decrypted.
int openCardFile(const QByteArray& path, const QByteArray& password, int flags,
                 const std::function<void(sqlite3*)>& opened, sqlite3** db);

constexpr qint64 MaxCacheBytes = 128ll * 1024 * 1024;

// Gives the card file at path the key newKey in place of oldKey, with no moment at which the
// file holds neither: a copy keyed with newKey is written beside it, synced to the disk,
// checked to hold every row, and renamed over the file. A program killed at any point leaves
// the file keyed with one of the two keys and holding every card (and perhaps a stray
// "<path>.rekey", which the next change removes). Returns SQLITE_OK or the engine's code:
// SQLITE_BUSY while another program has the file open, SQLITE_NOTADB when oldKey does not
// open it.
int rekeyCardFile(const QString& path, const QByteArray& oldKey, const QByteArray& newKey);
