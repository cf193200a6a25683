#pragma once

#include <QString>

class Connection;
class PgConnection;

// What a copy moved from one register to another.
struct CopiedRows {
    qint64 cards = 0;
    qint64 visits = 0;
    qint64 categories = 0;
    qint64 sexes = 0;
    qint64 provinces = 0;
    qint64 defaults = 0;
};

// "名片 12 张，拜访记录 30 条，分类 13 个，性别 2 个，省份 34 个，默认项 1 条"
QString describeCopiedRows(const CopiedRows& rows);

// Copies a card file's register (cards, deleted ones too, visits, lookup lists and defaults,
// every key kept) into a server register that holds no card and no visit, in one
// transaction: afterwards the server's keys go on from the file's. Nothing is copied, and
// EngineError says why, when the server register is not empty, when live cards of the file
// share category, name and sex (the server's rule allows one; they are listed to be resolved
// first) or when a value holds a NUL character (which a server text cannot hold).
CopiedRows copyFileToServer(Connection& file, PgConnection& server);

// Copies a server register into the card file at path, which must not exist yet (it is
// made) or must hold no card and no visit (a new, empty card file). Keys are kept, and the
// file's keys go on from the server's. Nothing is written when EngineError is thrown.
CopiedRows copyServerToFile(PgConnection& server, const QString& path);

// The connection string of the card file at path, keyed with the program's password.
QString cardFileConnectionString(const QString& path);
