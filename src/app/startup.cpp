#include "app/startup.h"

#include "app/commandline.h"
#include "app/datamodule.h"
#include "db/connectionsettings.h"
#include "db/sqlcipherconnection.h"
#include "ui/common/appinfo.h"
#include "ui/common/messages.h"
#include "ui/common/widgets.h"
#include "ui/main/mainwindow.h"
#include "version.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

namespace {
// Qt's translation into Chinese: the copy beside the program, or Qt's own where the program
// runs from a build without one.
QString qtTranslationFile() {
    const QString name = QStringLiteral("qtbase_zh_CN.qm");
    const QString beside = QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
    if (QFileInfo::exists(beside)) {
        return beside;
    }
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QLatin1Char('/') + name;
}
} // namespace

void loadQtTranslation(QApplication& app) {
    auto* translator = new QTranslator(&app);
    if (translator->load(qtTranslationFile())) {
        QApplication::installTranslator(translator);
    } else {
        delete translator;
    }
}

void prepareApplication(QApplication& app) {
    QApplication::setApplicationName(AppTitle);
    QApplication::setApplicationVersion(QStringLiteral(ORVANE_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Orvane软件"));
    QApplication::setDesktopFileName(QStringLiteral("orvane-cards"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/app.svg")));
    QApplication::setStyle(QStringLiteral("Fusion"));
    app.setFont(windowFont());
    loadQtTranslation(app);
}

bool unlockCardFile(const QString& path) {
    using KeyCheck = SqlCipherConnection::KeyCheck;
    if (SqlCipherConnection::checkKey(path, builtInDatabasePassword()) != KeyCheck::WrongKey) {
        return true;
    }
    constexpr int Tries = 3;
    for (int left = Tries; left > 0; --left) {
        const QString text =
            left == Tries
                ? QStringLiteral("名片文件设置了密码。请输入密码：")
                : QStringLiteral("密码不正确，请重新输入（还可以输入 %1 次）：").arg(left);
        const std::optional<QString> password = Messages::askPassword(nullptr, text);
        if (!password) {
            return false;
        }
        const KeyCheck check = password->isEmpty() ? KeyCheck::WrongKey
                                                   : SqlCipherConnection::checkKey(path, *password);
        if (check != KeyCheck::WrongKey) {
            setDatabasePassword(*password);
            return true;
        }
    }
    Messages::error(nullptr,
                    QStringLiteral("密码连续 %1 次不正确，程序将退出。名片文件没有任何改变，"
                                   "想起密码后请重新启动本程序")
                        .arg(Tries));
    return false;
}

int runProgram(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const CommandLine command = parseCommandLine(arguments);
    if (command.copies() || !command.error.isEmpty()) {
        QCoreApplication app(argc, argv); // no window: the copies run from scripts too
        return runCopyCommand(command);
    }

    QApplication app(argc, argv);
    prepareApplication(app);
    if (!unlockCardFile(cardFolder(programFolder()) + QStringLiteral("Data/db.edb"))) {
        return 1;
    }

    frmDM = new TfrmDM(&app);
    frmMain = new TfrmMain(nullptr, TfrmMain::FirstList::AfterFirstPaint);
    frmMain->show();
    const int result = QApplication::exec();
    delete frmMain;
    frmMain = nullptr;
    return result;
}
