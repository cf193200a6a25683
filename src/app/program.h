#pragma once

#include "ui/main/mainwindow.h"

#include <memory>

class CardStore;
class LookupLists;

// The running program below QApplication: the card store on the card file that start-up
// finds, the lookup lists its drop-downs share, and the main window that works on both.
// The wait cursor shows while a statement waits for another program's write lock.
class Program {
public:
    explicit Program(TfrmMain::FirstList firstList = TfrmMain::FirstList::BeforeShowing);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    CardStore& store() { return *m_store; }
    TfrmMain* mainWindow() const { return m_mainWindow.get(); }

private:
    QString m_cardFolder;
    std::unique_ptr<CardStore> m_store;
    std::unique_ptr<LookupLists> m_lookups;
    std::unique_ptr<TfrmMain> m_mainWindow;
};

// The main window of the program that runs, for tests and tools that drive it; null while
// none runs.
extern TfrmMain* frmMain;
