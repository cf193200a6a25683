#include "app/startup.h"

#include "app/datamodule.h"
#include "db/connectionsettings.h"
#include "ui/common/appinfo.h"
#include "ui/common/widgets.h"
#include "ui/main/mainwindow.h"

#include <QApplication>
#include <QIcon>

void prepareApplication(QApplication& app) {
    QApplication::setApplicationName(AppTitle);
    QApplication::setApplicationVersion(QStringLiteral("4.0.0.520"));
    QApplication::setOrganizationName(QStringLiteral("Orvane软件"));
    QApplication::setDesktopFileName(QStringLiteral("orvane-cards"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/app.svg")));
    QApplication::setStyle(QStringLiteral("Fusion"));
    app.setFont(windowFont());
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
