#include "xlsreader.h"

#include <QFile>
#include <freexl.h>

namespace Xls {
namespace {

QString reasonOf(int code) {
    switch (code) {
    case FREEXL_FILE_NOT_FOUND:
        return QStringLiteral("文件无法打开");
    case FREEXL_INSUFFICIENT_MEMORY:
        return QStringLiteral("内存不足");
    case FREEXL_UNSUPPORTED_CHARSET:
        return QStringLiteral("工作簿的字符编码无法识别");
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
        return QStringLiteral("文件中没有 Excel 工作簿（它可能设有密码）");
    default:
        return QStringLiteral("文件已损坏或不完整");
    }
}

void check(int code) {
    if (code != FREEXL_OK) {
        throw UnreadableWorkbook{reasonOf(code)};
    }
}

// The handle is released however reading ends, as FreeXL asks even after a failed open.
struct Workbook {
    const void* handle = nullptr;
    ~Workbook() { freexl_close(handle); }
};

QString cellText(const FreeXL_CellValue& cell) {
    switch (cell.type) {
    case FREEXL_CELL_INT:
        return QString::number(cell.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return numberText(cell.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:     // "YYYY-MM-DD"
    case FREEXL_CELL_DATETIME: // "YYYY-MM-DD HH:MM:SS"
    case FREEXL_CELL_TIME:     // "HH:MM:SS"
        return cell.value.text_value ? QString::fromUtf8(cell.value.text_value) : QString();
    default:
        return {};
    }
}

} // namespace

bool readSheet(const QString& path, const QString& sheetName, SheetCells& cells) {
    Workbook book;
    check(freexl_open(QFile::encodeName(path).constData(), &book.handle));
    unsigned int info = 0;
    if (freexl_get_info(book.handle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
        info == FREEXL_BIFF_OBFUSCATED) {
        throw UnreadableWorkbook{QStringLiteral("工作簿设有密码保护")};
    }
    unsigned int sheets = 0;
    check(freexl_get_info(book.handle, FREEXL_BIFF_SHEET_COUNT, &sheets));
    int found = -1;
    for (unsigned int i = 0; i < sheets && i <= 0xFFFF && found < 0; ++i) {
        const char* name = nullptr;
        if (freexl_get_worksheet_name(book.handle, (unsigned short)i, &name) == FREEXL_OK && name &&
            QString::fromUtf8(name).compare(sheetName, Qt::CaseInsensitive) == 0) {
            found = int(i);
        }
    }
    if (found < 0) {
        return false;
    }
    check(freexl_select_active_worksheet(book.handle, (unsigned short)found));
    unsigned int rows = 0;
    unsigned short columns = 0;
    check(freexl_worksheet_dimensions(book.handle, &rows, &columns));
    if (qint64(rows) * columns > WorkbookLimits::Cells) {
        throw UnreadableWorkbook{
            QStringLiteral("工作表太大（%1 行 × %2 列）").arg(rows).arg(columns)};
    }
    for (unsigned int r = 0; r < rows; ++r) {
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue cell;
            check(freexl_get_cell_value(book.handle, r, c, &cell));
            cells.set(r, c, cellText(cell));
        }
    }
    return true;
}

} // namespace Xls
