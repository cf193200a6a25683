#include "app/startup.h"

#include "app/datamodule.h"
#include "db/connectionsettings.h"
#include "ui/common/appinfo.h"
#include "ui/common/widgets.h"
#include "ui/main/mainwindow.h"
#include "version.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

void prepareApplication(QApplication& app) {
    QApplication::setApplicationName(AppTitle);
    QApplication::setApplicationVersion(QStringLiteral(ORVANE_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Orvane软件"));
    QApplication::setDesktopFileName(QStringLiteral("orvane-cards"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/app.svg")));
    QApplication::setStyle(QStringLiteral("Fusion"));
    app.setFont(windowFont());
    // Qt's own texts, such as the buttons of the message boxes and the file dialog, in Chinese.
    auto* qtTexts = new QTranslator(&app);
    if (qtTexts->load(QStringLiteral("qtbase_zh_CN"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(qtTexts);
    }
}

int runProgram(int argc, char** argv) {
    QApplication app(argc, argv);
    prepareApplication(app);

    frmDM = new TfrmDM(&app);
    frmMain = new TfrmMain;
    frmMain->show();
    const int result = QApplication::exec();
    delete frmMain;
    frmMain = nullptr;
    return result;
}
