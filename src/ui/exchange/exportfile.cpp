#include "ui/exchange/exportfile.h"

#include "db/engineerror.h"
#include "db/query.h"
#include "db/resultset.h"
#include "excel/sheetwriter.h"
#include "ui/common/appinfo.h"
#include "ui/common/messages.h"
#include "ui/common/workprogress.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QUrl>

namespace {
QString folderOverride;

// The text the workbook exports have always given (other files say which file), then the
// real cause.
EngineError cannotCreate(const QString& cause, const QString& extension = QStringLiteral(".xlsx")) {
    return EngineError((extension == QLatin1String(".xlsx")
                            ? QStringLiteral("无法创建Xls文件，请确认是否安装EXCEL.\n")
                            : QStringLiteral("无法创建%1文件.\n").arg(extension.mid(1))) +
                       cause);
}

// The most bytes of a file name on the file systems the program meets.
constexpr int NameBytes = 255;
// Room kept for the time stamp, a copy number and the extension: " 2008-03-07 142501 (999).xlsx".
constexpr int SuffixBytes = 30;

// The title as a file name on any desktop: no separators or characters other systems
// refuse, not hidden, and short enough to leave room for the time stamp.
QString fileNameOf(const QString& title) {
    QString name;
    for (QChar c : title) {
        if (c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c)) {
            c = u'_';
        }
        name += c;
    }
    if (name.startsWith(u'.')) {
        name[0] = u'_';
    }
    while (name.toUtf8().size() > NameBytes - SuffixBytes) {
        name.chop(name.size() >= 2 && name.back().isLowSurrogate() ? 2 : 1);
    }
    return name;
}

// Creates a file nobody has yet: "stem.xlsx", else "stem (2).xlsx" and on. Throws EngineError
// with the folder's answer when it refuses.
QString claimNewFile(const QString& stem, const QString& extension) {
    for (int copy = 1; copy < 1000; ++copy) {
        const QString path = copy == 1
                                 ? stem + extension
                                 : QStringLiteral("%1 (%2)%3").arg(stem).arg(copy).arg(extension);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            return path;
        }
        if (!file.exists()) {
            throw cannotCreate(QStringLiteral("无法在文件夹 %1 中创建文件：%2")
                                   .arg(QDir::toNativeSeparators(QFileInfo(path).absolutePath()),
                                        file.errorString()),
                               extension);
        }
    }
    throw cannotCreate(QStringLiteral("文件夹 %1 中同名的文件太多")
                           .arg(QDir::toNativeSeparators(QFileInfo(stem).absolutePath())),
                       extension);
}
} // namespace

void setExportFolder(const QString& folder) {
    folderOverride = folder;
}

QString exportFolder() {
    return folderOverride.isEmpty()
               ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
               : folderOverride;
}

ExportFile::ExportFile(const QString& title, const QString& extension) {
    const QString folder = exportFolder();
    if (folder.isEmpty()) {
        throw cannotCreate(QStringLiteral("找不到“文档”文件夹"), extension);
    }
    if (!QDir().mkpath(folder)) {
        throw cannotCreate(
            QStringLiteral("无法创建文件夹 %1").arg(QDir::toNativeSeparators(folder)), extension);
    }
    m_path = claimNewFile(QDir(folder).filePath(fileNameOf(title) + u' ' +
                                                QDateTime::currentDateTime().toString(
                                                    QStringLiteral("yyyy-MM-dd hhmmss"))),
                          extension);
}

ExportFile::~ExportFile() {
    if (!m_published) {
        QFile::remove(m_path);
    }
}

bool ExportFile::publish(SheetWriter& sheet) {
    if (!sheet.finish()) {
        const QStorageInfo disk(QFileInfo(m_path).absolutePath());
        throw cannotCreate(
            QStringLiteral("无法写入文件 %1%2")
                .arg(QDir::toNativeSeparators(m_path), disk.bytesAvailable() < 1024 * 1024
                                                           ? QStringLiteral("：磁盘空间不足")
                                                           : QString()));
    }
    m_published = true;
    return Messages::openExternally(QUrl::fromLocalFile(m_path));
}

void ExportFile::save(const QByteArray& bytes) {
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size() || !file.flush()) {
        throw EngineError(QStringLiteral("无法写入文件 %1：%2")
                              .arg(QDir::toNativeSeparators(m_path), file.errorString()));
    }
    m_published = true;
}

namespace {
// The list's column of each field. Throws EngineError for a name the list lacks.
std::vector<int> columnsOf(const ResultSet& list, const QStringList& fields) {
    std::vector<int> columns;
    for (const QString& field : fields) {
        const int column = list.columnIndex(field);
        if (column < 0) {
            throw EngineError(QStringLiteral("找不到字段“%1”").arg(field));
        }
        columns.push_back(column);
    }
    return columns;
}

// Streams the list's rows into the sheet, in the order shown; the current card stays.
void writeListRows(SheetWriter& sheet, Query* list, const QStringList& fields,
                   WorkProgress& progress) {
    const ResultSet& rows = *list->result();
    const std::vector<int> columns = columnsOf(rows, fields);
    const int count = list->recordCount();
    int position = 0;
    while (position < count) {
        const int row = list->rowAt(position);
        const int sheetRow = position + 3;
        sheet.setNumber(sheetRow, 1, position + 1);
        for (size_t k = 0; k < columns.size(); ++k) {
            sheet.setUtf8Text(sheetRow, int(k) + 2, rows.utf8(row, columns[k]));
        }
        ++position;
        if (!progress.advance(position)) {
            break;
        }
    }
}
} // namespace

void runExport(QWidget* parent, const QString& title, Query* list, const QStringList& fields,
               const std::function<void(SheetWriter& sheet, int lastRow)>& layout) {
    if (!list->waitForAllRows()) {
        return; // the user gave up waiting for the whole list: no file
    }
    ExportFile file(title);
    bool opened = false;
    {
        const int rows = list->recordCount();
        WorkProgress progress(parent, QStringLiteral("正在导出"), rows, rows > ProgressRows);
        SheetWriter sheet;
        layout(sheet, rows + 2);
        if (!sheet.begin(file.path())) {
            throw cannotCreate(
                QStringLiteral("无法写入文件 %1").arg(QDir::toNativeSeparators(file.path())));
        }
        writeListRows(sheet, list, fields, progress);
        if (progress.cancelled()) {
            return; // the file goes with it
        }
        opened = file.publish(sheet);
    }
    if (!opened) {
        Messages::info(parent, QStringLiteral("导出的工作簿已保存在：\n") +
                                   QDir::toNativeSeparators(file.path()));
    }
}

QString pageFooter(const QString& gap) {
    return SheetWriter::footerText(AppTitle + gap + PublisherUrl + u' ') +
           QStringLiteral("共&N页，第&P页");
}
