#include "app/commandline.h"

#include "db/connectionsettings.h"
#include "db/engineerror.h"
#include "db/pgconnection.h"
#include "db/registercopy.h"
#include "db/sqlcipherconnection.h"

#include <QDir>
#include <cstdio>

namespace {
void say(const QString& text) {
    std::fputs((text + u'\n').toUtf8().constData(), stdout);
    std::fflush(stdout);
}
} // namespace

CommandLine parseCommandLine(const QStringList& arguments) {
    CommandLine command;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& flag = arguments.at(i);
        QString* value = nullptr;
        if (flag == u"--server") {
            value = &command.server;
        } else if (flag == u"--copy-to-server") {
            value = &command.copyToServer;
        } else if (flag == u"--copy-from-server") {
            value = &command.copyFromServer;
        } else {
            continue;
        }
        if (i + 1 >= arguments.size() || arguments.at(i + 1).trimmed().isEmpty()) {
            command.error = QStringLiteral("%1 后面要写服务器的连接字符串，例如 "
                                           "%1 \"host=服务器 dbname=cards user=张三\"")
                                .arg(flag);
            return command;
        }
        *value = arguments.at(++i);
    }
    return command;
}

int runCopyCommand(const CommandLine& command) {
    if (!command.error.isEmpty()) {
        say(command.error);
        return 2;
    }
    const QString file = cardFolder(programFolder()) + QStringLiteral("Data/db.edb");
    const QString fileName = QDir::toNativeSeparators(file);
    try {
        if (!command.copyToServer.isEmpty()) {
            SqlCipherConnection local;
            local.setConnectionString(cardFileConnectionString(file));
            PgConnection server(command.copyToServer);
            const CopiedRows rows = copyFileToServer(local, server);
            say(QStringLiteral("已把本机文件 %1 复制到%2：%3")
                    .arg(fileName, server.registerName(), describeCopiedRows(rows)));
        } else {
            PgConnection server(command.copyFromServer);
            const CopiedRows rows = copyServerToFile(server, file);
            say(QStringLiteral("已把%1复制到本机文件 %2：%3")
                    .arg(server.registerName(), fileName, describeCopiedRows(rows)));
        }
    } catch (const EngineError& error) {
        // Standard output, not standard error: the reason may list cards by name.
        say(QStringLiteral("复制没有完成：") + error.message());
        return 1;
    }
    return 0;
}
