#include "db/serverlogin.h"

#include "db/engineerror.h"
#include "db/pgconnection.h"
#include "db/serverreason.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStringList>
#include <libpq-fe.h>

namespace {
QHash<QString, QString> conninfoValues(const QString& connectionString) {
    QHash<QString, QString> values;
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(connectionString.toUtf8().constData(), &error);
    if (!options) {
        PQfreemem(error);
        return values;
    }
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (o->val && *o->val) {
            values.insert(QString::fromUtf8(o->keyword), QString::fromUtf8(o->val));
        }
    }
    PQconninfoFree(options);
    return values;
}

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
    add("password", password);
    return parts.join(u' ');
}

QString withPassword(const QString& connectionString, const QString& password) {
    QHash<QString, QString> values = conninfoValues(connectionString);
    values.insert(QStringLiteral("password"), password);
    QStringList keys = values.keys();
    keys.sort();
    QStringList parts;
    for (const QString& key : keys) {
        parts << key + u'=' + pgConninfoValue(values.value(key));
    }
    return parts.join(u' ');
}

QString connectionConfigPath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty()) {
        base = QDir::homePath() + QStringLiteral("/.config");
    }
    return base + QStringLiteral("/orvane-cards/connection.conf");
}

RegisterChoice registerChoiceFrom(const QString& connectionString) {
    const QHash<QString, QString> values = conninfoValues(connectionString);
    RegisterChoice choice;
    choice.onServer = true;
    choice.host = values.value(QStringLiteral("host"), values.value(QStringLiteral("hostaddr")));
    choice.port = values.value(QStringLiteral("port"));
    choice.database = values.value(QStringLiteral("dbname"));
    choice.user = values.value(QStringLiteral("user"));
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
    PGconn* conn = PQconnectdb(connectionString.toUtf8().constData());
    probe.connected = PQstatus(conn) == CONNECTION_OK;
    if (!probe.connected) {
        probe.needsPassword = PQconnectionNeedsPassword(conn) != 0;
        const QString message = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
        probe.reason = serverReasonInChinese(message.section(u'\n', 0, 0).trimmed());
    }
    PQfinish(conn);
    return probe;
}
