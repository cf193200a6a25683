// Fuzz target of the workbook readers. An input that starts like an .xls or an .xlsx file is
// read as a workbook file; any other input is given to the record reader of the .xls reader
// as a Workbook stream and to each XML part parser of the .xlsx reader. Rejections are
// expected; crashes, hangs, leaks and undefined behaviour are not.

#include "db/engineerror.h"
#include "excel/sheetcells.h"
#include "excel/workbookreader.h"
#include "excel/xlsreader.h"
#include "excel/xlsxreader.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <cstdint>
#include <unistd.h>

namespace {

bool looksLikeWorkbook(const QByteArray& bytes) {
    return bytes.startsWith("PK\x03\x04") ||
           bytes.startsWith(QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
}

void readFile(const QByteArray& bytes) {
    static const QString path =
        QDir::temp().filePath(QStringLiteral("fuzz_workbook_%1.bin").arg(getpid()));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return;
    }
    file.write(bytes);
    file.close();
    try {
        readWorkbookSheet(path, QStringLiteral("Sheet1"));
    } catch (const EngineError&) {
    }
}

template <typename Parse> void rejectQuietly(Parse&& parse) {
    try {
        parse();
    } catch (const UnreadableWorkbook&) {
    }
}

// The bytes as a part read a piece at a time, as the reader reads a member of the zip.
template <typename Parse> void asPart(const QByteArray& bytes, Parse&& parse) {
    QBuffer part;
    part.setData(bytes);
    part.open(QIODevice::ReadOnly);
    rejectQuietly([&] { parse(&part); });
}

void readParts(const QByteArray& bytes) {
    rejectQuietly([&] {
        SheetCells cells;
        Xls::readWorkbookStream(bytes, QStringLiteral("Sheet1"), cells);
        cells.toResult();
    });
    asPart(bytes, [](QIODevice* part) { Xlsx::sharedStrings(part); });
    asPart(bytes, [](QIODevice* part) { Xlsx::numberFormats(part); });
    asPart(bytes, [](QIODevice* part) {
        Xlsx::SheetContext context;
        context.strings.append(QStringLiteral("名"));
        context.strings.append(QStringLiteral("x"));
        context.formats = {{},
                           {DateParts::Date, {}},
                           {DateParts::DateTime, {}},
                           {DateParts::Time, {}},
                           {{}, {"TRUE", "TRUE", "FALSE"}}};
        SheetCells cells;
        Xlsx::readWorksheet(part, context, cells);
        cells.toResult();
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (looksLikeWorkbook(bytes)) {
        readFile(bytes);
    } else {
        readParts(bytes);
    }
    return 0;
}
