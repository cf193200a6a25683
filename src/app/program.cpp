#include "app/program.h"

#include "db/cardstore.h"
#include "db/connectionsettings.h"
#include "db/sqlcipherconnection.h"
#include "ui/common/lookuplists.h"

#include <QGuiApplication>

TfrmMain* frmMain = nullptr;

namespace {
std::unique_ptr<Connection> cardFileEngine(const QString& folder) {
    auto file = std::make_unique<SqlCipherConnection>();
    file->setConnectionString(cardConnectionString(folder));
    return file;
}
} // namespace

// The card file: beside the program, or the user's own copy where the program's folder
// cannot be written to.
Program::Program(TfrmMain::FirstList firstList)
    : m_cardFolder(cardFolder(programFolder())),
      m_store(std::make_unique<CardStore>(cardFileEngine(m_cardFolder))),
      m_lookups(std::make_unique<LookupLists>(*m_store)) {
    SqlCipherConnection::setLockWaitFeedback([](bool waiting) {
        if (waiting) {
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QGuiApplication::restoreOverrideCursor();
        }
    });
    m_mainWindow = std::make_unique<TfrmMain>(
        *m_store, *m_lookups, m_cardFolder + QStringLiteral("Data/db.edb"), firstList);
    frmMain = m_mainWindow.get();
}

Program::~Program() {
    frmMain = nullptr;
    m_mainWindow.reset();
    SqlCipherConnection::setLockWaitFeedback({});
}
