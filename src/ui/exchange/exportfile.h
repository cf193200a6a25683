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

    // Finishes the sheet streamed into the file and hands the file to the desktop's
    // spreadsheet program; false when none took it. Throws EngineError when the file cannot
    // be written.
    bool publish(SheetWriter& sheet);
    // Writes bytes into the file. Throws EngineError when they cannot be written.
    void save(const QByteArray& bytes);

private:
    QString m_path;
    bool m_published = false;
};

// One export as the user runs it over a list: claims the file, lays the sheet out with
// layout (told the sheet's last row), then streams one row per row of the list into the file
// as the list is walked, in the list's current order, from row 3 on: the row's number, then
// each of fields (the names of list columns). Only one row of the sheet is held at a time.
// The wait cursor shows throughout, and a progress dialog with "取消" when the list has more
// than ProgressRows rows; the list's cursor ends on the last row written. Tells where the
// file is when no spreadsheet program opened it. A cancelled export leaves no file and says
// nothing. Throws EngineError.
void runExport(QWidget* parent, const QString& title, Query* list, const QStringList& fields,
               const std::function<void(SheetWriter& sheet, int lastRow)>& layout);
constexpr int ProgressRows = 2000;

// The centre footer of an export: the program, gap, the publisher's address, a blank and
// the page count ("共N页，第P页").
QString pageFooter(const QString& gap);
