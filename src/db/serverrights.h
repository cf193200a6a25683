#pragma once

#include <QString>
#include <QStringList>

#include <QByteArray>
#include <QList>

class Connection;
struct pg_conn;
class PgConnection;

// What the user logged in may do in the register, for the windows to grey out what the
// user's role cannot do and say why. On the card file the user may do everything.
struct UserRights {
    bool mayPurge = true;       // 彻底删除: remove deleted cards for good
    bool mayEditLookups = true; // the lookup lists (categories, sexes, provinces)
    bool mayCopyIn = true;      // a copy of a card file into the register, keys kept
    // Why a command is greyed out, for its tooltip: "只有管理员可以彻底删除名片".
    static QString notAllowedText(const QString& what);
};
// Asks the engine (on a server: the rights the login holds). Throws EngineError.
UserRights userRights(Connection& engine);

// The libpq keywords a connection is opened with around the user's connection string: those
// given before it (defaults the string may set otherwise) and after it (that it cannot).
// Over the network: TLS with the server's certificate checked unless the string says
// otherwise, and SCRAM with channel binding required unless the string turns TLS off, so that
// no password leaves the program towards a server that asks for it in clear text.
struct ConnectKeywords {
    QStringList before; // keyword, value, keyword, value, …
    QStringList after;
};
ConnectKeywords connectKeywords(const QString& connectionString);
// Opens a libpq connection: defaults (keyword, value, …; the string may set them otherwise),
// the keywords of connectKeywords() around the string, and UTF-8 as the client's encoding.
// The caller checks its status and finishes it. A string libpq cannot read must be refused
// before (conninfoFault()).
pg_conn* openServerConnection(const QString& connectionString, const QList<QByteArray>& defaults);

// Checks of a connection just opened, each throwing EngineError with the user's message:
// the session takes a backslash in a quoted value as itself (standard_conforming_strings on);
// the register's rules are those of this version and the login holds no more rights than its
// role (a register of an earlier version is brought up to date when the login owns it).
void requireStandardStrings(const char* parameterStatus, const QString& registerName);
void requireExpectedRights(PgConnection& server);
