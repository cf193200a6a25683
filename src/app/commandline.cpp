#include "app/commandline.h"

#include "db/cardpassword.h"
#include "db/connectionsettings.h"
#include "db/engineerror.h"
#include "db/pgconnection.h"
#include "db/registercopy.h"
#include "db/sqlcipherconnection.h"

#include <QDir>
#include <QFile>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace {
void say(const QString& text) {
    std::fputs((text + u'\n').toUtf8().constData(), stdout);
    std::fflush(stdout);
}

// One line typed on the terminal, not shown while it is typed.
QString readHiddenLine() {
    termios before{};
    const bool terminal = tcgetattr(STDIN_FILENO, &before) == 0;
    if (terminal) {
        termios hidden = before;
        hidden.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &hidden);
    }
    char line[1024] = {};
    const bool read = std::fgets(line, sizeof line, stdin) != nullptr;
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
        std::fputs("\n", stdout);
    }
    QString text = read ? QString::fromUtf8(line) : QString();
    while (text.endsWith(u'\n') || text.endsWith(u'\r')) {
        text.chop(1);
    }
    return text;
}

// A card file with a password of the user's own: the password from ORVANE_CARD_PASSWORD (for
// scripts) or typed on the terminal. Throws EngineError when none is given or it is wrong.
void unlockForCopy(const QString& file) {
    if (!QFile::exists(file) || !cardFileNeedsPassword(file)) {
        return;
    }
    QString password = qEnvironmentVariable("ORVANE_CARD_PASSWORD");
    if (password.isEmpty() && isatty(STDIN_FILENO)) {
        std::fputs(QStringLiteral("名片文件设置了密码。请输入密码：").toUtf8().constData(), stdout);
        std::fflush(stdout);
        password = readHiddenLine();
    }
    if (password.isEmpty()) {
        throw EngineError(QStringLiteral("名片文件设置了密码，请在终端上运行并输入密码，"
                                         "或用环境变量 ORVANE_CARD_PASSWORD 给出密码"));
    }
    if (!useCardPassword(file, password)) {
        throw EngineError(QStringLiteral("名片文件的密码不正确，名片文件没有任何改变"));
    }
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
        unlockForCopy(file);
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
