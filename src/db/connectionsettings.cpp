#include "db/connectionsettings.h"

#include "db/connectionstring.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
QString folderOverride;
QString ownPassword;
} // namespace

QString programFolder() {
    QString folder =
        folderOverride.isEmpty() ? QCoreApplication::applicationDirPath() : folderOverride;
    if (!folder.endsWith(u'/')) {
        folder += u'/';
    }
    return folder;
}

QString builtInDatabasePassword() {
    return QStringLiteral(ORVANE_DB_PASSWORD);
}

QString databasePassword() {
    return ownPassword.isEmpty() ? builtInDatabasePassword() : ownPassword;
}

void setDatabasePassword(const QString& password) {
    ownPassword = password;
}

bool hasOwnPassword() {
    return !ownPassword.isEmpty();
}

void setProgramFolder(const QString& folder) {
    folderOverride = folder;
}

QString cardFolder(const QString& programFolder) {
    if (QFileInfo(programFolder).isWritable()) {
        return programFolder;
    }
    const QString userFolder =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
        QStringLiteral("/orvane-cards/");
    const QString database = userFolder + QStringLiteral("Data/db.edb");
    if (!QFileInfo::exists(database) && QDir().mkpath(userFolder + QStringLiteral("Data")) &&
        QFile::copy(programFolder + QStringLiteral("Data/db.edb"), database)) {
        QFile::setPermissions(database, QFile::ReadOwner | QFile::WriteOwner);
    }
    return userFolder;
}

QString cardConnectionString(const QString& folder) {
    // The path is quoted when the folder's name calls for it (a ";" or a quote in it).
    return QStringLiteral("provider=Microsoft.Jet.OLEDB.4.0;user ID=Admin;Data Source=") +
           ConnectionString::quoted(folder + QStringLiteral("Data/db.edb")) + QStringLiteral(";") +
           QStringLiteral("Mode=Share Deny None;Extended Properties=\"\";") +
           QStringLiteral("Jet OLEDB:System database=\"\";") +
           QStringLiteral("Jet OLEDB:Registry Path=\"\";") +
           QStringLiteral("Jet OLEDB:Database Password=\"") +
           QString(databasePassword()).replace(u'"', QStringLiteral("\"\"")) +
           QStringLiteral("\";") + QStringLiteral("Jet OLEDB:Engine Type=5;") +
           QStringLiteral("Jet OLEDB:Database Locking Mode=1;") +
           QStringLiteral("Jet OLEDB:Global Partial Bulk Ops=2;") +
           QStringLiteral("Jet OLEDB:Global Bulk Transactions=1;") +
           QStringLiteral("Jet OLEDB:New Database Password=\"\";") +
           QStringLiteral("Jet OLEDB:Create System Database=False;") +
           QStringLiteral("Jet OLEDB:Encrypt Database=False;") +
           QStringLiteral("Jet OLEDB:Don't Copy Locale on Compact=False;") +
           QStringLiteral("Jet OLEDB:Compact Without Replica Repair=False;") +
           QStringLiteral("Jet OLEDB:SFP=False");
}

QString userConfigFolder() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty()) {
        base = QDir::homePath() + QStringLiteral("/.config");
    }
    return base + QStringLiteral("/orvane-cards/");
}
