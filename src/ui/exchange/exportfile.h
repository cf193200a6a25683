#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class Query;
class SheetWriter;
class WorkProgress;
class QWidget;

// Where exports are written: the user's documents folder, unless set otherwise (tests).
void setExportFolder(const QString& folder); // empty: the documents folder
QString exportFolder();

// The new file of one export, claimed in the export folder as soon as the export starts, so
// that nothing is read when it cannot be written, and no other file is ever overwritten. It
// is named after the title and the moment: "名片表 2008-03-07 142501.xlsx", the title
// shortened when the name would pass what the file system takes.
class ExportFile {
public:
    // Throws EngineError, saying why, when the folder or the file cannot be created.
    explicit ExportFile(const QString& title, const QString& extension = QStringLiteral(".xlsx"));
    ~ExportFile(); // an export that never got as far as publish() leaves no file behind
    ExportFile(const ExportFile&) = delete;
    ExportFile& operator=(const ExportFile&) = delete;

    const QString& path() const { return m_path; }

    // Writes the sheet into the file and hands it to the desktop's spreadsheet program;
    // false when none took it, or when the user cancelled the writing (the file then goes).
    // Throws EngineError when the file cannot be written.
    bool publish(const SheetWriter& sheet, WorkProgress& progress);
    // Writes bytes into the file. Throws EngineError when they cannot be written.
    void save(const QByteArray& bytes);

private:
    QString m_path;
    bool m_published = false;
};

// One export as the user runs it over a list: claims the file, builds the sheet from the list
// and writes it under the wait cursor, with a progress dialog and "取消" when the list has
// more than ProgressRows rows, and tells where the file is when no spreadsheet program opened
// it. A cancelled export leaves no file and says nothing. Throws EngineError.
void runExport(QWidget* parent, const QString& title, Query* list,
               const std::function<SheetWriter(WorkProgress&)>& sheet);
constexpr int ProgressRows = 2000;

// The centre footer of an export: the program, gap, the publisher's address, a blank and
// the page count ("共N页，第P页").
QString pageFooter(const QString& gap);

// Moves the list to its first row, then to the next after each call of visit (given the
// row's position, from 1), until past its end or until the user cancels; the list's cursor
// stays on the last row visited. Throws EngineError (a closed list).
void walkRows(Query* list, WorkProgress& progress, const std::function<void(int position)>& visit);
