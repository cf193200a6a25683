#include "db/cardpassword.h"

#include "db/cipherfile.h"
#include "db/connection.h"
#include "db/connectionsettings.h"
#include "db/connectionstring.h"
#include "db/engineerror.h"
#include "db/sqlcipherconnection.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <sqlite3.h>

namespace {
const QString CardFile = QStringLiteral("Data/db.edb");

QString failureText(int code, const QString& path) {
    const QString file = QDir::toNativeSeparators(path);
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("另一个程序正在使用名片文件 %1。请先关闭使用它的其他程序，"
                              "再设置密码。")
            .arg(file);
    case SQLITE_NOTADB:
        return QStringLiteral("名片文件 %1 打不开：当前密码不正确，或该文件已损坏。").arg(file);
    case SQLITE_FULL:
        return QStringLiteral("磁盘已满，无法设置密码。请腾出与名片文件一样大的空间后再试。");
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
        return QStringLiteral("名片文件 %1 或它所在的文件夹是只读的，无法设置密码。"
                              "请给它们写入权限后再试。")
            .arg(file);
    default:
        return QStringLiteral("无法设置密码（错误 %1）。").arg(code);
    }
}
} // namespace

void changeCardPassword(Connection& cards, const QString& password) {
    const ConnectionString settings = ConnectionString::parse(cards.connectionString());
    const QString path = settings.value(QStringLiteral("Data Source"));
    const QString oldKey = settings.value(QStringLiteral("Jet OLEDB:Database Password"));
    if (!path.endsWith(CardFile)) {
        throw EngineError(QStringLiteral("只能给本机的名片文件设置密码。"));
    }
    const QString newKey = password.isEmpty() ? builtInDatabasePassword() : password;
    cards.close();
    const int rc = rekeyCardFile(path, oldKey.toUtf8(), newKey.toUtf8());
    if (rc != SQLITE_OK) {
        std::fprintf(stderr, "orvane: card file: re-keying failed: %s (%d)\n", sqlite3_errstr(rc),
                     rc);
        throw EngineError(failureText(rc, path));
    }
    setDatabasePassword(password);
    cards.setConnectionString(cardConnectionString(path.chopped(CardFile.size())));
}

bool cardFileNeedsPassword(const QString& path) {
    return SqlCipherConnection::checkKey(path, builtInDatabasePassword()) ==
           SqlCipherConnection::KeyCheck::WrongKey;
}

bool useCardPassword(const QString& path, const QString& password) {
    if (password.isEmpty() ||
        SqlCipherConnection::checkKey(path, password) == SqlCipherConnection::KeyCheck::WrongKey) {
        return false;
    }
    setDatabasePassword(password);
    return true;
}
