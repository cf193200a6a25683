#pragma once

#include <QString>
#include <functional>

class Query;
class SheetWriter;
class QWidget;

// Where exports are written: the user's documents folder, unless set otherwise (tests).
void setExportFolder(const QString& folder); // empty: the documents folder
QString exportFolder();

// The new workbook file of one export, claimed in the export folder as soon as the export
// starts, so that nothing is read when it cannot be written, and no other file is ever
// overwritten. It is named after the title and the moment: "名片表 2008-03-07 142501.xlsx",
// the title shortened when the name would pass what the file system takes.
class ExportFile {
public:
    // Throws EngineError, saying why, when the folder or the file cannot be created.
    explicit ExportFile(const QString& title);
    ~ExportFile(); // an export that never got as far as publish() leaves no file behind
    ExportFile(const ExportFile&) = delete;
    ExportFile& operator=(const ExportFile&) = delete;

    const QString& path() const { return m_path; }

    // Writes the sheet into the file and hands it to the desktop's spreadsheet program;
    // false when none took it. Throws EngineError when the file cannot be written.
    bool publish(const SheetWriter& sheet);

private:
    QString m_path;
    bool m_published = false;
};

// One export as the user runs it: claims the file, builds the sheet, writes it under the
// wait cursor, and tells where the file is when no spreadsheet program opened it.
// Throws EngineError.
void runExport(QWidget* parent, const QString& title, const std::function<SheetWriter()>& sheet);

// The centre footer of an export: the program, gap, the publisher's address, a blank and
// the page count ("共N页，第P页").
QString pageFooter(const QString& gap);

// Moves the list to its first row, then to the next after each call of visit (given the
// row's position, from 1), until past its end; the list's cursor stays on its last row.
// Throws EngineError (a closed list).
void walkRows(Query* list, const std::function<void(int position)>& visit);
