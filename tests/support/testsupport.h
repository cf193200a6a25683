#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "app/program.h"
#include "db/cardfields.h"

class CardStore;
class Program;
class QApplication;
class QWidget;

// A scratch program folder holding a fresh copy of the delivered database in Data/db.edb.
// The folder gets the given name inside a temporary folder (a name of the temporary folder's
// own when none is given).
class ScratchDatabase {
public:
    explicit ScratchDatabase(const QString& folderName = QString());
    QString folder() const;       // ends in "/"
    QString databasePath() const; // folder() + "Data/db.edb"
    QString connectionString() const;
    static QString deliveredPath();

private:
    QTemporaryDir m_dir;
    QString m_folder;
};

// Runs statements straight on a database, beside the program's own connection.
class DirectSql {
public:
    explicit DirectSql(const QString& connectionString);
    ~DirectSql();
    void exec(const QString& sql);
    QString scalar(const QString& sql); // first column of the first row, "" when none
    int count(const QString& sql);      // number of rows of a query

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The program as a user meets it, on a scratch database: the card store and the main window
// created as at start-up, the message service scripted, a fixed "today". The program folder
// may be given a name of its own.
// The program's main window among the top-level windows; null while there is none.
QWidget* mainWindow();

// The program on a scratch database. Unless the test sets XDG_CONFIG_HOME itself, the user's
// settings (the export's fields) are kept beside the scratch database for the test's run.
class ProgramFixture {
public:
    explicit ProgramFixture(const QString& folderName = QString());
    ~ProgramFixture();

    // Starts the program (the card store, then frmMain with its start-up sequence) and shows
    // the main window.
    void start();
    // Starts the program without showing the main window.
    void create(TfrmMain::FirstList firstList = TfrmMain::FirstList::BeforeShowing);
    // Closes every window and ends the program, answering the exit question Yes.
    void stop();

    ScratchDatabase& database() { return m_db; }
    DirectSql& sql();
    CardStore& store(); // the running program's

private:
    ScratchDatabase m_db;
    bool m_ownConfig = false; // the user's settings kept beside the scratch database
    std::unique_ptr<DirectSql> m_sql;
    std::unique_ptr<Program> m_program;
};

// A card for the store: every field empty but the category, name, sex and province.
CardValues cardValues(const QString& type, const QString& name, const QString& sex,
                      const QString& province = QString());

// Inserts a live card with the given category, name and sex (and the entry date), directly.
// Returns its key.
QString insertCard(DirectSql& sql, const QString& type, const QString& name, const QString& sex,
                   const QString& date = QStringLiteral("2008-03-07"),
                   const QString& province = QString());
void insertVisit(DirectSql& sql, const QString& cardId, const QString& date, const QString& kind,
                 const QString& memo);

// Types text into a widget as a user would: printable ASCII through key presses, anything
// else (Chinese, control characters) as an input method commits it.
void typeText(QWidget* widget, const QString& text);

// A copy of the program that imports a workbook, for the tests that kill it halfway: the
// start-up sequence on the given program folder, then "打开" and "导入" in the import window.
// Returns 0 when the import reported its end without an error.
int runImportProgram(const QString& folder, const QString& workbook);

// Writes a workbook whose sheet holds texts: the header row, then the rows.
void writeSheet(const QString& path, const QStringList& headers, const QList<QStringList>& rows,
                const QString& sheetName = QStringLiteral("Sheet1"));

// Shrinks a window as far as it lets itself be shrunk, then checks that every named control
// lies inside it and that no two named controls side by side cover each other.
void checkEveryControlShowsAtMinimumSize(QWidget* window);

// Runs action once the next modal window is up and active (inside its event loop).
void whenModalShown(std::function<void(QWidget*)> action);
// The last error box text shown, "" when none.
QString lastErrorText();
