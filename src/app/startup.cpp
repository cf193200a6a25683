#include "app/startup.h"

#include "app/commandline.h"
#include "app/firstrows.h"
#include "app/program.h"
#include "app/serverstart.h"
#include "db/cardpassword.h"
#include "db/connectionsettings.h"
#include "ui/common/appinfo.h"
#include "ui/common/datagrid.h"
#include "ui/common/messages.h"
#include "ui/common/widgets.h"
#include "version.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {
// The texts of Qt's file dialog that Debian's Chinese translation of Qt lacks.
class MissingQtTexts : public QTranslator {
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }

    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override {
        Q_UNUSED(disambiguation);
        Q_UNUSED(n);
        struct Text {
            const char* context;
            const char* source;
            const char* chinese;
        };
        static constexpr Text Texts[] = {
            {"QAbstractFileIconProvider", "Folder", "文件夹"},
            {"QAbstractFileIconProvider", "Drive", "驱动器"},
            {"QAbstractFileIconProvider", "File", "文件"},
            {"QAbstractFileIconProvider", "Shortcut", "快捷方式"},
            {"QAbstractFileIconProvider", "Unknown", "未知"},
        };
        for (const Text& text : Texts) {
            if (qstrcmp(context, text.context) == 0 && qstrcmp(sourceText, text.source) == 0) {
                return QString::fromUtf8(text.chinese);
            }
        }
        return {};
    }
};

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
    // Installed last, it is asked first; it answers only the texts Qt's translation lacks.
    QApplication::installTranslator(new MissingQtTexts(&app));
}

void useChineseFormats() {
    // Qt reads the session's formats from LC_TIME and LC_NUMERIC, unless LC_ALL overrides
    // every category. LC_ALL's choice passes to LANG, so that the other categories (the
    // character set above all) stay the session's.
    const QByteArray all = qgetenv("LC_ALL");
    if (!all.isEmpty()) {
        qputenv("LANG", all);
        qunsetenv("LC_ALL");
    }
    qputenv("LC_TIME", "zh_CN.UTF-8");
    qputenv("LC_NUMERIC", "zh_CN.UTF-8");
}

void prepareApplication(QApplication& app) {
    QApplication::setApplicationName(AppTitle);
    QApplication::setApplicationVersion(QStringLiteral(ORVANE_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Orvane软件"));
    QApplication::setDesktopFileName(QStringLiteral("orvane-cards"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/app.svg")));
    QApplication::setStyle(QStringLiteral("Fusion"));
    app.setFont(windowFont());
    // Dates, numbers and sizes as a Chinese user reads them, whatever the session's locale.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    loadQtTranslation(app);
}

bool unlockCardFile(const QString& path) {
    if (!cardFileNeedsPassword(path)) {
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
        if (useCardPassword(path, *password)) {
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
    if (command.endsWithoutWindow()) {
        QCoreApplication app(argc, argv); // no window: the copies run from scripts too
        return runWithoutWindow(command);
    }

    useChineseFormats();
    QApplication app(argc, argv);
    prepareApplication(app);
    const std::optional<QString> server = serverForThisRun(command);
    if (!server) {
        return 1; // the user cancelled the server's password
    }
    if (server->isEmpty() &&
        !unlockCardFile(cardFolder(programFolder()) + QStringLiteral("Data/db.edb"))) {
        return 1;
    }

    const Program program(TfrmMain::FirstList::AfterFirstPaint, *server);
    reportFirstRowsWhenAsked(program.mainWindow()->DBGrid1);
    program.mainWindow()->show();
    return QApplication::exec();
}
