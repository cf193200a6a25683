#include "db/serverlogin.h"

#include "db/connectionsettings.h"
#include "db/conninfo.h"
#include "db/engineerror.h"
#include "db/pgconnection.h"
#include "db/serverreason.h"
#include "db/serverrights.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStringList>
#include <libpq-fe.h>

namespace {
void writeWhole(const QString& path, const QByteArray& content, bool privateFile) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    const bool written =
        file.open(QIODevice::WriteOnly) &&
        (!privateFile || file.setPermissions(QFile::ReadOwner | QFile::WriteOwner)) &&
        file.write(content) == content.size() && file.commit();
    if (!written) {
        throw EngineError(QStringLiteral("无法写入文件 %1（%2）")
                              .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
}

// A field of a password-file line: ':' and '\' escaped with a backslash.
QString passwordFileField(const QString& value) {
    QString escaped = value;
    return escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u':', QStringLiteral("\\:"));
}

// The first four fields of a password-file line for choice, as libpq matches them: the host
// as given (localhost when none), the port (5432), the database (the user's name when none).
QString passwordFileKey(const RegisterChoice& choice) {
    const QString host = choice.host.isEmpty() ? QStringLiteral("localhost") : choice.host;
    const QString port = choice.port.isEmpty() ? QStringLiteral("5432") : choice.port;
    const QString database = choice.database.isEmpty() ? choice.user : choice.database;
    return QStringList{passwordFileField(host), passwordFileField(port),
                       passwordFileField(database), passwordFileField(choice.user)}
               .join(u':') +
           u':';
}

QStringList passwordFileLinesWithout(const RegisterChoice& choice) {
    QFile file(passwordFilePath());
    QStringList kept;
    if (file.open(QIODevice::ReadOnly)) {
        const QString key = passwordFileKey(choice);
        for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
            if (!line.startsWith(key)) {
                kept << line;
            }
        }
    }
    while (!kept.isEmpty() && kept.constLast().isEmpty()) {
        kept.removeLast();
    }
    return kept;
}

void writePasswordFile(const QStringList& lines) {
    writeWhole(passwordFilePath(), (lines.join(u'\n') + u'\n').toUtf8(), true);
}
} // namespace

QString RegisterChoice::connectionString(const QString& password) const {
    QStringList parts;
    const auto add = [&parts](const char* keyword, const QString& value) {
        if (!value.isEmpty()) {
            parts << QString::fromLatin1(keyword) + u'=' + pgConninfoValue(value);
        }
    };
    add("host", host);
    add("port", port);
    add("dbname", database);
    add("user", user);
    for (auto it = options.cbegin(); it != options.cend(); ++it) {
        add(it.key().toUtf8().constData(), it.value());
    }
    add("password", password);
    return parts.join(u' ');
}

QString withPassword(const QString& connectionString, const QString& password) {
    QMap<QString, QString> values =
        conninfoValues(connectionString).value_or(QMap<QString, QString>{});
    values.insert(QStringLiteral("password"), password);
    return conninfoText(values);
}

QString connectionConfigPath() {
    return userConfigFolder() + QStringLiteral("connection.conf");
}

RegisterChoice registerChoiceFrom(const QString& connectionString) {
    QMap<QString, QString> values =
        conninfoValues(connectionString).value_or(QMap<QString, QString>{});
    RegisterChoice choice;
    choice.onServer = true;
    choice.host = values.take(QStringLiteral("host"));
    if (choice.host.isEmpty()) {
        choice.host = values.take(QStringLiteral("hostaddr"));
    }
    choice.port = values.take(QStringLiteral("port"));
    choice.database = values.take(QStringLiteral("dbname"));
    choice.user = values.take(QStringLiteral("user"));
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (keptKeyword(it.key())) {
            choice.options.insert(it.key(), it.value());
        }
    }
    return choice;
}

RegisterChoice loadRegisterChoice() {
    QFile file(connectionConfigPath());
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QString text = QString::fromUtf8(file.readAll()).trimmed();
    return text.isEmpty() ? RegisterChoice{} : registerChoiceFrom(text);
}

void saveRegisterChoice(const RegisterChoice& choice) {
    const QString path = connectionConfigPath();
    if (!choice.onServer) {
        if (QFile::exists(path) && !QFile::remove(path)) {
            throw EngineError(
                QStringLiteral("无法删除文件 %1").arg(QDir::toNativeSeparators(path)));
        }
        return;
    }
    writeWhole(path, (choice.connectionString() + u'\n').toUtf8(), false);
}

QString systemRootCertificates() {
    return QStringLiteral("/etc/ssl/certs/ca-certificates.crt");
}

QString passwordFilePath() {
    const QString fromEnvironment = qEnvironmentVariable("PGPASSFILE");
    return fromEnvironment.isEmpty() ? QDir::homePath() + QStringLiteral("/.pgpass")
                                     : fromEnvironment;
}

void rememberPassword(const RegisterChoice& choice, const QString& password) {
    QStringList lines = passwordFileLinesWithout(choice);
    lines << passwordFileKey(choice) + passwordFileField(password);
    writePasswordFile(lines);
}

void forgetPassword(const RegisterChoice& choice) {
    if (passwordRemembered(choice)) {
        writePasswordFile(passwordFileLinesWithout(choice));
    }
}

bool passwordRemembered(const RegisterChoice& choice) {
    QFile file(passwordFilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QString key = passwordFileKey(choice);
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    return std::any_of(lines.begin(), lines.end(),
                       [&key](const QString& line) { return line.startsWith(key); });
}

ServerProbe probeServer(const QString& connectionString) {
    ServerProbe probe;
    probe.reason = conninfoFault(connectionString);
    if (!probe.reason.isEmpty()) {
        return probe;
    }
    PGconn* conn = openServerConnection(connectionString, {"connect_timeout", "10"});
    probe.connected = PQstatus(conn) == CONNECTION_OK;
    if (!probe.connected) {
        probe.needsPassword = PQconnectionNeedsPassword(conn) != 0;
        const QString message = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
        probe.reason = serverReasonInChinese(message.section(u'\n', 0, 0).trimmed());
    }
    PQfinish(conn);
    return probe;
}
