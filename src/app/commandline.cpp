#include "app/commandline.h"

#include "app/scancommand.h"
#include "db/cardpassword.h"
#include "db/connectionsettings.h"
#include "db/conninfo.h"
#include "db/engineerror.h"
#include "db/pgconnection.h"
#include "db/registercopy.h"
#include "db/sqlcipherconnection.h"
#include "ui/common/appinfo.h"
#include "version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <numeric>
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

int runCopy(const CommandLine& command) {
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

// The options that take a value, and what --help says of each.
struct ValueOption {
    QStringView flag;
    QString CommandLine::*value;
    QStringView help;
};

// The options that stand alone.
struct SwitchOption {
    QStringView flag;
    QStringView shortFlag;
    bool CommandLine::*on;
    QStringView help;
};

constexpr ValueOption ValueOptions[] = {
    {u"--server", &CommandLine::server, u"本次运行使用该服务器上的名片库"},
    {u"--copy-to-server", &CommandLine::copyToServer,
     u"把本机的名片文件复制到服务器上的名片库（名片库必须是空的），不打开窗口"},
    {u"--copy-from-server", &CommandLine::copyFromServer,
     u"把服务器上的名片库复制到本机的名片文件（文件中必须没有名片），不打开窗口"},
};

constexpr SwitchOption SwitchOptions[] = {
    {u"--help", u"-h", &CommandLine::help, u"显示本用法后退出"},
    {u"--version", u"-v", &CommandLine::version, u"显示程序的版本后退出"},
};

// Qt's own options, read by the application object.
constexpr QStringView QtOptionsWithValue[] = {u"-platform", u"-style",    u"-stylesheet",
                                              u"-display",  u"-geometry", u"-qwindowgeometry",
                                              u"-session"};
constexpr QStringView QtSwitches[] = {u"-reverse"};

template <typename Options> bool contains(const Options& options, QStringView argument) {
    return std::find(std::begin(options), std::end(options), argument) != std::end(options);
}

// Columns a text takes on a terminal: a Chinese character takes two.
qsizetype terminalWidth(const QString& text) {
    return std::accumulate(text.cbegin(), text.cend(), qsizetype(0), [](qsizetype width, QChar c) {
        return width + (c.unicode() >= 0x2E80 ? 2 : 1);
    });
}

QString unknownOption(const QString& argument, const QString& program) {
    return QStringLiteral("不认识的选项“%1”。用 %2 --help 查看全部选项和用法。")
        .arg(argument, program);
}

QString missingConnection(QStringView flag) {
    return QStringLiteral("%1 后面要写服务器的连接字符串，例如 "
                          "%1 \"host=服务器 dbname=cards user=张三\"")
        .arg(flag);
}
} // namespace

CommandLine parseCommandLine(const QStringList& arguments) {
    CommandLine command;
    if (!arguments.isEmpty()) {
        command.program = QFileInfo(arguments.first()).fileName();
    }
    for (int i = 1; i < arguments.size() && command.error.isEmpty(); ++i) {
        const QString& argument = arguments.at(i);
        const qsizetype equals = argument.indexOf(u'=');
        const QStringView flag = QStringView(argument).left(equals);
        const auto valueOption =
            std::find_if(std::begin(ValueOptions), std::end(ValueOptions),
                         [&](const ValueOption& option) { return option.flag == flag; });
        const auto switchOption = std::find_if(
            std::begin(SwitchOptions), std::end(SwitchOptions), [&](const SwitchOption& option) {
                return option.flag == argument || option.shortFlag == argument;
            });
        if (flag == u"--scan") {
            // Every argument up to the next option is a photo.
            if (equals >= 0) {
                command.scanFiles.append(argument.mid(equals + 1));
            }
            while (i + 1 < arguments.size() && !arguments.at(i + 1).startsWith(u'-')) {
                command.scanFiles.append(arguments.at(++i));
            }
            if (command.scanFiles.isEmpty()) {
                command.error = QStringLiteral("--scan 后面要写名片照片的文件，例如 "
                                               "--scan 名片1.jpg 名片2.png");
            }
        } else if (valueOption != std::end(ValueOptions)) {
            QString value;
            if (equals >= 0) {
                value = argument.mid(equals + 1);
            } else if (i + 1 < arguments.size()) {
                value = arguments.at(++i);
            }
            if (value.trimmed().isEmpty()) {
                command.error = missingConnection(valueOption->flag);
            } else if (conninfoHasPassword(value)) {
                command.error = passwordOnCommandLineMessage();
            }
            command.*(valueOption->value) = value;
        } else if (switchOption != std::end(SwitchOptions)) {
            command.*(switchOption->on) = true;
        } else if (contains(QtOptionsWithValue, argument)) {
            ++i;
        } else if (!contains(QtSwitches, argument)) {
            command.error = unknownOption(argument, command.program);
        }
    }
    return command;
}

QString usageText(const QString& program) {
    constexpr qsizetype Column = 30;
    QString text = QStringLiteral("用法：%1 [选项]\n\n不带选项时打开 %2 的窗口。\n\n选项：\n")
                       .arg(program, AppTitle);
    const auto addLine = [&text](const QString& flags, QStringView help) {
        text += QStringLiteral("  ") + flags;
        text += QString(std::max<qsizetype>(1, Column - 2 - terminalWidth(flags)), u' ');
        text += help;
        text += u'\n';
    };
    for (const ValueOption& option : ValueOptions) {
        addLine(option.flag.toString() + QStringLiteral(" <连接>"), option.help);
    }
    addLine(QStringLiteral("--scan <照片>…"),
            u"识别名片照片（JPEG、PNG），每张照片输出一行 JSON，键为名片的项目名，不打开窗口");
    for (const SwitchOption& option : SwitchOptions) {
        addLine(option.shortFlag.toString() + QStringLiteral(", ") + option.flag.toString(),
                option.help);
    }
    text += QStringLiteral(
                "\n<连接> 是 PostgreSQL 的连接字符串，例如 \"host=服务器 dbname=cards user=张三\"，"
                "或者 postgresql:// 地址；没有写密码而服务器要密码时，程序会询问。\n"
                "复制时如果名片文件设置了密码，在终端上输入，或用环境变量 ORVANE_CARD_PASSWORD "
                "给出。\n\n例如：\n"
                "  %1\n"
                "  %1 --server \"host=192.168.1.10 dbname=cards user=张三\"\n"
                "  %1 --copy-to-server \"host=192.168.1.10 dbname=cards user=张三\"\n"
                "  %1 --copy-from-server postgresql://张三@192.168.1.10/cards\n"
                "  %1 --scan 名片1.jpg 名片2.png\n")
                .arg(program);
    return text;
}

int runWithoutWindow(const CommandLine& command) {
    if (!command.error.isEmpty()) {
        std::fputs((command.error + u'\n').toUtf8().constData(), stderr);
        return 2;
    }
    if (command.help) {
        say(usageText(command.program));
        return 0;
    }
    if (command.version) {
        say(AppTitle + u' ' + QStringLiteral(ORVANE_VERSION));
        return 0;
    }
    if (!command.scanFiles.isEmpty()) {
        return runScanCommand(command.scanFiles);
    }
    return runCopy(command);
}
