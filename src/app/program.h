#pragma once

#include "ui/main/mainwindow.h"

#include <memory>

class CardStore;
class ChangeWatcher;
class LookupLists;

// The running program below QApplication: the card store on the card file that start-up
// finds (or on the server register it was given), the lookup lists its drop-downs share, and
// the main window that works on both. The wait cursor shows while a statement waits for
// another program's write lock. On a server, a change listener tells the main window of every
// change committed elsewhere, of the server going away and of its coming back.
class Program {
public:
    // server: a libpq connection string, or empty for the card file.
    explicit Program(TfrmMain::FirstList firstList = TfrmMain::FirstList::BeforeShowing,
                     const QString& server = QString());
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    CardStore& store() { return *m_store; }
    TfrmMain* mainWindow() const { return m_mainWindow.get(); }

private:
    void watchServer(const QString& server);

    QString m_cardFolder;
    std::unique_ptr<CardStore> m_store;
    std::unique_ptr<LookupLists> m_lookups;
    std::unique_ptr<TfrmMain> m_mainWindow;
    std::unique_ptr<ChangeWatcher> m_watcher;
};

// The main window of the program that runs, for tests and tools that drive it; null while
// none runs.
extern TfrmMain* frmMain;
