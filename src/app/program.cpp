#include "app/program.h"

#include "db/cardstore.h"
#include "db/changewatcher.h"
#include "db/connectionsettings.h"
#include "db/pgconnection.h"
#include "db/sqlcipherconnection.h"
#include "ui/common/lookuplists.h"

#include <QGuiApplication>

TfrmMain* frmMain = nullptr;

namespace {
std::unique_ptr<Connection> cardEngine(const QString& folder, const QString& server) {
    if (!server.isEmpty()) {
        return std::make_unique<PgConnection>(server);
    }
    auto file = std::make_unique<SqlCipherConnection>();
    file->setConnectionString(cardConnectionString(folder));
    return file;
}
} // namespace

// The card file: beside the program, or the user's own copy where the program's folder
// cannot be written to.
Program::Program(TfrmMain::FirstList firstList, const QString& server)
    : m_cardFolder(cardFolder(programFolder())),
      m_store(std::make_unique<CardStore>(cardEngine(m_cardFolder, server))),
      m_lookups(std::make_unique<LookupLists>(*m_store)) {
    m_mainWindow = std::make_unique<TfrmMain>(
        *m_store, *m_lookups, m_cardFolder + QStringLiteral("Data/db.edb"), firstList);
    frmMain = m_mainWindow.get();
    m_store->setChangeListener([window = m_mainWindow.get()](const StoreChanges& changes) {
        window->noteStoreChanges(changes);
    });
    if (!server.isEmpty()) {
        watchServer(server);
    }
}

void Program::watchServer(const QString& server) {
    m_mainWindow->showRegisterName(PgConnection(server).registerName());
    m_watcher = std::make_unique<ChangeWatcher>(server);
    QObject::connect(m_watcher.get(), &ChangeWatcher::changed, m_mainWindow.get(),
                     &TfrmMain::registerChanged);
    // Queued: a server away at start-up is told once the main window is up.
    QObject::connect(m_watcher.get(), &ChangeWatcher::lost, m_mainWindow.get(),
                     &TfrmMain::registerLost, Qt::QueuedConnection);
    m_watcher->start();
}

Program::~Program() {
    m_watcher.reset();
    m_store->setChangeListener({});
    frmMain = nullptr;
    m_mainWindow.reset();
}
