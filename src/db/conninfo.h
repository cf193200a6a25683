#pragma once

#include <QMap>
#include <QString>
#include <optional>

// libpq connection strings as this program reads, keeps and names them: keyword=value pairs or
// a postgresql:// address. No function here ever gives back a password or an unparsed text.

// The keywords and values of a connection string, as libpq reads it (empty values left out);
// nothing when libpq cannot read it.
std::optional<QMap<QString, QString>> conninfoValues(const QString& connectionString);

// Why libpq cannot read a connection string, without any of its values:
// "连接字符串无法识别（sslmode 处）". Empty when it can.
QString conninfoFault(const QString& connectionString);

// Whether the string holds a password (a password keyword, or one in an address's user part).
// A string libpq cannot read counts as holding one when it names the keyword at all.
bool conninfoHasPassword(const QString& connectionString);
// What the user is told when a password is written into a connection given on the command line.
QString passwordOnCommandLineMessage();

// The keywords a saved connection keeps: libpq's own, except the password.
bool keptKeyword(const QString& keyword);

// The values as libpq's keyword=value form, in keyword order.
QString conninfoText(const QMap<QString, QString>& values);

// Whether a connection with these values goes over the network (TCP) rather than through a
// Unix socket: a host or address given that is not a socket folder.
bool conninfoUsesNetwork(const QMap<QString, QString>& values);
// Whether every host named is this computer (localhost, 127.x.x.x, ::1) or a socket folder.
bool conninfoIsLocal(const QMap<QString, QString>& values);

// "服务器 cards@db.example.com:5432" from the parsed host, port and database, or the fault.
QString conninfoRegisterName(const QString& connectionString);
