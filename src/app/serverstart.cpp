#include "app/serverstart.h"

#include "app/commandline.h"
#include "db/pgconnection.h"
#include "db/serverlogin.h"
#include "ui/common/messages.h"

std::optional<QString> serverForThisRun(const CommandLine& command) {
    QString connection = command.server;
    if (connection.isEmpty()) {
        const RegisterChoice kept = loadRegisterChoice();
        if (!kept.onServer) {
            return QString();
        }
        connection = kept.connectionString();
    }
    ServerProbe probe = probeServer(connection);
    if (!probe.needsPassword) {
        // Connected, or failed for a reason a password does not change: the main window
        // says so when it reads the list.
        return connection;
    }
    const QString name = PgConnection(connection).registerName();
    QString question = QStringLiteral("请输入连接%1的密码：").arg(name);
    while (true) {
        const std::optional<QString> password = Messages::askPassword(nullptr, question);
        if (!password) {
            return std::nullopt;
        }
        const QString withTyped = withPassword(connection, *password);
        probe = probeServer(withTyped);
        if (probe.connected) {
            return withTyped;
        }
        question = QStringLiteral("无法连接%1（%2）。请重新输入密码：").arg(name, probe.reason);
    }
}
