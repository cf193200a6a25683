#include "excel/workbookreader.h"

#include "db/engineerror.h"
#include "excel/sheetcells.h"
#include "excel/xlsreader.h"
#include "excel/xlsxreader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <new>

namespace {

enum class Format { Xls, Xlsx, Other };

Format formatOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw UnreadableWorkbook{file.errorString()};
    }
    const QByteArray head = file.read(8);
    if (head.startsWith("PK\x03\x04")) {
        return Format::Xlsx;
    }
    if (head == QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) {
        return Format::Xls;
    }
    return Format::Other;
}

// True when the sheet was found and read into cells.
bool readCells(const QString& path, const QString& sheetName, SheetCells& cells) {
    const QFileInfo info(path);
    if (!info.exists()) {
        throw UnreadableWorkbook{QStringLiteral("文件不存在")};
    }
    if (!info.isFile()) {
        throw UnreadableWorkbook{QStringLiteral("这不是一个文件")};
    }
    if (info.size() > WorkbookLimits::FileBytes) {
        tooLarge(QStringLiteral("文件超过 %1 MB").arg(WorkbookLimits::FileBytes / (1024 * 1024)));
    }
    switch (formatOf(path)) {
    case Format::Xls:
        return Xls::readSheet(path, sheetName, cells);
    case Format::Xlsx:
        return Xlsx::readSheet(path, sheetName, cells);
    case Format::Other:
        break;
    }
    throw UnreadableWorkbook{QStringLiteral("它不是 Excel 工作簿（.xls 或 .xlsx）")};
}

EngineError unreadable(const QString& path, const QString& reason) {
    return EngineError(
        QStringLiteral("无法读取文件“%1”：%2").arg(QDir::toNativeSeparators(path), reason));
}

} // namespace

std::shared_ptr<ResultSet> readWorkbookSheet(const QString& path, const QString& sheetName) {
    try {
        SheetCells cells;
        if (!readCells(path, sheetName, cells)) {
            throw EngineError(QStringLiteral("工作簿中没有名为 %1 的工作表").arg(sheetName));
        }
        return cells.toResult();
    } catch (const UnreadableWorkbook& e) {
        throw unreadable(path, e.reason);
    } catch (const std::bad_alloc&) {
        throw unreadable(path, QStringLiteral("内存不足"));
    }
}
