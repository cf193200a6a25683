#pragma once

#include <QMap>
#include <QString>

// Where the cards live, as chosen in 连接服务器: the local card file, or a register on a
// PostgreSQL server reached with these libpq settings (empty ones take libpq's defaults).
struct RegisterChoice {
    bool onServer = false;
    QString host;
    QString port;
    QString database;
    QString user;
    // Every other libpq keyword the connection was given (sslmode, sslrootcert, …): kept as
    // written, except a password, which no file of the program holds.
    QMap<QString, QString> options;

    // The libpq keywords of the choice; with a password when one is given (for this run only,
    // never written to a file by the program).
    QString connectionString(const QString& password = QString()) const;
};

// $XDG_CONFIG_HOME/orvane-cards/connection.conf (~/.config when the variable is unset). It
// holds one line of libpq keywords (libpq's own only, never a password) when the cards are on a
// server; no file means the local card file.
QString connectionConfigPath();
RegisterChoice loadRegisterChoice();
// Throws EngineError when the file cannot be written.
void saveRegisterChoice(const RegisterChoice& choice);
// The choice as read from a libpq connection string or address (--server).
RegisterChoice registerChoiceFrom(const QString& connectionString);

// connectionString (keywords or a postgresql:// address) as keywords, with the password.
QString withPassword(const QString& connectionString, const QString& password);

// The system's root certificates (Debian's ca-certificates bundle), which 验证服务器证书 checks
// a server's certificate against when no root certificate file is chosen.
QString systemRootCertificates();

// The password file libpq reads: $PGPASSFILE, else ~/.pgpass.
QString passwordFilePath();
// Writes the password of choice's server, database and user into the password file (made with
// mode 0600), replacing an earlier line for the same ones and keeping every other line.
// Throws EngineError when the file cannot be written.
void rememberPassword(const RegisterChoice& choice, const QString& password);
// Removes the line rememberPassword() wrote for choice, if there is one.
void forgetPassword(const RegisterChoice& choice);
// Whether the password file holds a line written for choice.
bool passwordRemembered(const RegisterChoice& choice);

// One attempt to log in to a server, with nothing else done there.
struct ServerProbe {
    bool connected = false;
    bool needsPassword = false; // the server asks for a password and none was given
    QString reason;             // libpq's first line, when not connected
};
ServerProbe probeServer(const QString& connectionString);
