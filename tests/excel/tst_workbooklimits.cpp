// Every bound of the workbook readers, each at the bound and just past it, on workbooks made
// here a piece at a time (none is held whole): the read runs in a child process whose peak
// memory must stay under 200 MB above that of reading a small workbook, and the outcome is the
// rows or one message naming the reason. Figures (size, peak, time) go to the test log; with
// ORVANE_LIMIT_FILES set to a folder the workbooks are kept there.

#include "childpeak.h"
#include "excel/sheetcells.h"
#include "workbookfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <memory>

namespace {

constexpr qint64 KB = 1024;
constexpr qint64 MB = 1024 * 1024;
constexpr long BudgetKb = 200 * 1024;

// Pieces of about a megabyte made of units each repeated so many times, one after the other.
std::function<QByteArray()> repeated(const QList<std::pair<QByteArray, qint64>>& segments) {
    struct State {
        QList<std::pair<QByteArray, qint64>> segments;
        qsizetype segment = 0;
        qint64 done = 0;
    };
    auto state = std::make_shared<State>(State{segments});
    return [state] {
        QByteArray piece;
        while (piece.size() < MB && state->segment < state->segments.size()) {
            const auto& [unit, times] = state->segments[state->segment];
            if (state->done < times) {
                piece += unit;
                ++state->done;
            } else {
                ++state->segment;
                state->done = 0;
            }
        }
        return piece;
    };
}

const QByteArray MainNs = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
const QByteArray SheetHead = "<worksheet " + MainNs + "><sheetData>";
const QByteArray SheetTail = "</sheetData></worksheet>";
// A header and one row.
const QByteArray Table = "<row><c t=\"inlineStr\"><is><t>a</t></is></c></row>"
                         "<row><c t=\"inlineStr\"><is><t>b</t></is></c></row>";

QByteArray inlineCell(const QByteArray& text) {
    return "<c t=\"inlineStr\"><is><t>" + text + "</t></is></c>";
}

// An .xlsx whose Sheet1 is made of the segments, with a shared strings part when strings
// has segments, and a stored member of padBytes that the reader never reads.
bool writeXlsx(const QString& path, const QList<std::pair<QByteArray, qint64>>& sheet,
               const QList<std::pair<QByteArray, qint64>>& strings = {}, qint64 padBytes = 0) {
    const QByteArray relsNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    QByteArray rels = "<Relationships "
                      "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                      "<Relationship Id=\"rId1\" Type=\"" +
                      relsNs + "/worksheet\" Target=\"worksheets/s.xml\"/>";
    if (!strings.isEmpty()) {
        rels += "<Relationship Id=\"rId2\" Type=\"" + relsNs +
                "/sharedStrings\" Target=\"strings.xml\"/>";
    }
    rels += "</Relationships>";
    const QByteArray workbook = "<workbook " + MainNs + " xmlns:r=\"" + relsNs +
                                "\"><sheets><sheet name=\"Sheet1\" sheetId=\"1\" "
                                "r:id=\"rId1\"/></sheets></workbook>";
    QList<StreamedMember> members = {
        {QStringLiteral("xl/workbook.xml"), repeated({{workbook, 1}})},
        {QStringLiteral("xl/_rels/workbook.xml.rels"), repeated({{rels, 1}})},
        {QStringLiteral("xl/worksheets/s.xml"), repeated(sheet)}};
    if (!strings.isEmpty()) {
        members << StreamedMember{QStringLiteral("xl/strings.xml"), repeated(strings)};
    }
    if (padBytes > 0) {
        members << StreamedMember{
            QStringLiteral("pad.bin"),
            repeated({{QByteArray(MB, 'p'), padBytes / MB}, {QByteArray(padBytes % MB, 'p'), 1}}),
            true};
    }
    return writeZip(path, members);
}

// A sheet part of exactly bytes: the table, then blanks in runs of 64 KB between empty
// elements (no single token is large).
bool partOf(const QString& path, qint64 bytes) {
    const qint64 filler = bytes - SheetHead.size() - Table.size() - SheetTail.size();
    const QByteArray block = "<x/>" + QByteArray(64 * KB - 4, ' ');
    return writeXlsx(path, {{SheetHead + Table, 1},
                            {block, filler / block.size()},
                            {QByteArray(filler % block.size(), ' '), 1},
                            {SheetTail, 1}});
}

// A comment of bytes among the rows.
bool tokenOf(const QString& path, qint64 bytes) {
    return writeXlsx(
        path,
        {{SheetHead + Table + "<!--", 1}, {QByteArray(bytes - 7, 'x'), 1}, {"-->" + SheetTail, 1}});
}

QByteArray stringsHead() {
    return "<sst " + MainNs + ">";
}

// count empty shared strings.
bool sharedStringsOf(const QString& path, qint64 count) {
    return writeXlsx(path, {{SheetHead + Table + SheetTail, 1}},
                     {{stringsHead(), 1}, {"<si><t/></si>", count}, {"</sst>", 1}});
}

// Shared strings of 512 KB each and a shorter last one, bytes of text in all.
bool sharedStringBytesOf(const QString& path, qint64 bytes) {
    const qint64 each = 512 * KB;
    return writeXlsx(path, {{SheetHead + Table + SheetTail, 1}},
                     {{stringsHead(), 1},
                      {"<si><t>" + QByteArray(each, 's') + "</t></si>", bytes / each},
                      {"<si><t>" + QByteArray(bytes % each, 's') + "</t></si>", 1},
                      {"</sst>", 1}});
}

// count number cells, in rows of 4,000.
bool cellsOf(const QString& path, qint64 count) {
    const qint64 perRow = 4000;
    const QByteArray cell = "<c><v>1</v></c>";
    return writeXlsx(path, {{SheetHead, 1},
                            {"<row>" + cell.repeated(perRow) + "</row>", count / perRow},
                            {"<row>" + cell.repeated(count % perRow) + "</row>", 1},
                            {SheetTail, 1}});
}

// One row of cells of 512 KB and a shorter last one, bytes of text in all.
bool textOf(const QString& path, qint64 bytes) {
    const qint64 each = 512 * KB;
    return writeXlsx(path, {{SheetHead + "<row>", 1},
                            {inlineCell(QByteArray(each, 't')), bytes / each},
                            {inlineCell(QByteArray(bytes % each, 't')), 1},
                            {"</row>" + SheetTail, 1}});
}

// A workbook file of exactly bytes, most of it a member the reader does not read.
bool fileOf(const QString& path, qint64 bytes) {
    const QList<std::pair<QByteArray, qint64>> sheet = {{SheetHead + Table + SheetTail, 1}};
    if (!writeXlsx(path, sheet, {}, 1)) {
        return false;
    }
    return writeXlsx(path, sheet, {}, 1 + bytes - QFileInfo(path).size());
}

// ---- .xls ----

QByteArray u16(quint16 value) {
    char bytes[2];
    qToLittleEndian(value, bytes);
    return QByteArray(bytes, 2);
}
QByteArray u32(quint32 value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    return QByteArray(bytes, 4);
}
QByteArray record(quint16 id, const QByteArray& body) {
    return u16(id) + u16(quint16(body.size())) + body;
}
QByteArray bof(quint16 kind) {
    return record(0x0809, u16(0x0600) + u16(kind) + QByteArray(12, '\0'));
}
QByteArray label(quint16 row, const QByteArray& text) {
    return record(0x0204, u16(row) + u16(0) + u16(0) + u16(quint16(text.size())) + '\0' + text);
}

// A shared string table of strings of one-byte characters: an SST record and CONTINUE
// records of at most 8,224 bytes; characters that go on in the next record are preceded
// there by their width byte.
QByteArray sstRecords(const QList<QByteArray>& strings) {
    constexpr qsizetype MaxBody = 8224;
    QList<QByteArray> bodies{u32(quint32(strings.size())) + u32(quint32(strings.size()))};
    for (const QByteArray& text : strings) {
        if (bodies.last().size() + 3 > MaxBody) {
            bodies << QByteArray();
        }
        bodies.last() += u16(quint16(text.size())) + '\0';
        for (qsizetype at = 0; at < text.size();) {
            if (bodies.last().size() == MaxBody) {
                bodies << QByteArray(1, '\0');
            }
            const qsizetype take = std::min(text.size() - at, MaxBody - bodies.last().size());
            bodies.last() += text.mid(at, take);
            at += take;
        }
    }
    QByteArray records = record(0x00FC, bodies.first());
    for (qsizetype i = 1; i < bodies.size(); ++i) {
        records += record(0x003C, bodies[i]);
    }
    return records;
}

// The Workbook stream: globals (with the records given), Sheet1 with a header and one row,
// then padBytes that the reader never reads.
QByteArray xlsStream(const QByteArray& globals, qint64 padBytes = 0) {
    const QByteArray eof = record(0x000A, {});
    const QByteArray boundSheetBody = u32(0) + u16(0) + '\x06' + '\0' + QByteArray("Sheet1");
    const qsizetype sheetStart =
        bof(5).size() + globals.size() + record(0x0085, boundSheetBody).size() + eof.size();
    return bof(5) + globals + record(0x0085, u32(quint32(sheetStart)) + boundSheetBody.mid(4)) +
           eof + bof(0x10) + label(0, "a") + label(1, "b") + eof + QByteArray(padBytes, '\0');
}

bool xlsStreamOf(const QString& path, qint64 bytes) {
    return writeCompoundFile(path, "Workbook", xlsStream({}, bytes - xlsStream({}).size()));
}

bool xlsSharedStringsOf(const QString& path, qint64 count) {
    return writeCompoundFile(path, "Workbook", xlsStream(sstRecords(QList<QByteArray>(count))));
}

// Strings of "é" (one byte in the file, two in UTF-8), bytes of UTF-8 text in all.
bool xlsSharedStringBytesOf(const QString& path, qint64 bytes) {
    const qint64 each = 65534; // UTF-8 bytes of a string of the most characters
    QList<QByteArray> strings(bytes / each, QByteArray(each / 2, '\xE9'));
    strings << QByteArray(bytes % each / 2, '\xE9') + QByteArray(bytes % 2, 'e');
    return writeCompoundFile(path, "Workbook", xlsStream(sstRecords(strings)));
}

using Writer = bool (*)(const QString&, qint64);

} // namespace

class TestWorkbookLimits : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        const QString small = m_dir.filePath(QStringLiteral("small.xlsx"));
        QVERIFY(partOf(small, 4 * KB));
        const ChildRun run = runChild(helper(), {small});
        QCOMPARE(run.output, QStringLiteral("rows 1"));
        m_baselineKb = run.peakKb;
        qInfo("baseline: peak %ld MB reading a small workbook", m_baselineKb / 1024);
    }

    void bounds_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<quintptr>("writer");
        QTest::addColumn<qint64>("amount");
        QTest::addColumn<QString>("outcome"); // "rows N", or the reason after the file's name
        auto row = [](const char* name, const char* file, Writer writer, qint64 amount,
                      const QString& outcome) {
            QTest::newRow(name) << QString::fromLatin1(file) << quintptr(writer) << amount
                                << outcome;
        };
        namespace L = WorkbookLimits;
        const QString rows1 = QStringLiteral("rows 1");
        row("file at the bound", "file.xlsx", fileOf, L::FileBytes, rows1);
        row("file past it", "file.xlsx", fileOf, L::FileBytes + 1,
            QStringLiteral("工作簿太大：文件超过 256 MB"));
        row("member at the bound", "part.xlsx", partOf, L::PartBytes, rows1);
        row("member past it", "part.xlsx", partOf, L::PartBytes + 1,
            QStringLiteral("工作簿太大：其中一个部件解压后超过 256 MB"));
        row("member of 250 MB", "part.xlsx", partOf, 250 * MB, rows1);
        // The reader takes a part in pieces of a few kilobytes: a token is measured to within
        // one piece, so the bound is tried 64 KB either side.
        row("token at the bound", "token.xlsx", tokenOf, L::TokenBytes - 64 * KB, rows1);
        row("token past it", "token.xlsx", tokenOf, L::TokenBytes + 64 * KB,
            QStringLiteral("工作簿太大：其中一项内容超过 4 MB"));
        row("shared strings at the bound", "strings.xlsx", sharedStringsOf, L::SharedStrings,
            rows1);
        row("shared strings past it", "strings.xlsx", sharedStringsOf, L::SharedStrings + 1,
            QStringLiteral("工作簿太大：共享字符串超过 400 万个"));
        row("ten million shared strings", "strings.xlsx", sharedStringsOf, 10'000'000,
            QStringLiteral("工作簿太大：共享字符串超过 400 万个"));
        row("shared string text at the bound", "stringbytes.xlsx", sharedStringBytesOf,
            L::SharedStringBytes, rows1);
        row("shared string text past it", "stringbytes.xlsx", sharedStringBytesOf,
            L::SharedStringBytes + 1, QStringLiteral("工作簿太大：共享字符串的文字超过 32 MB"));
        row("cells at the bound", "cells.xlsx", cellsOf, L::Cells, QStringLiteral("rows 999"));
        row("cells past it", "cells.xlsx", cellsOf, L::Cells + 1,
            QStringLiteral("工作表太大：单元格超过 400 万个"));
        row("cell text at the bound", "text.xlsx", textOf, L::TextBytes, QStringLiteral("rows 0"));
        row("cell text past it", "text.xlsx", textOf, L::TextBytes + 1,
            QStringLiteral("工作表太大：文字超过 32 MB"));
        row("xls stream at the bound", "stream.xls", xlsStreamOf, L::XlsStreamBytes, rows1);
        row("xls stream past it", "stream.xls", xlsStreamOf, L::XlsStreamBytes + 1,
            QStringLiteral("工作簿太大：工作簿数据超过 32 MB"));
        row("xls shared strings at the bound", "strings.xls", xlsSharedStringsOf, L::SharedStrings,
            rows1);
        row("xls shared strings past it", "strings.xls", xlsSharedStringsOf, L::SharedStrings + 1,
            QStringLiteral("工作簿太大：共享字符串超过 400 万个"));
        row("xls shared string text at the bound", "stringbytes.xls", xlsSharedStringBytesOf,
            L::SharedStringBytes, rows1);
        row("xls shared string text past it", "stringbytes.xls", xlsSharedStringBytesOf,
            L::SharedStringBytes + 1, QStringLiteral("工作簿太大：共享字符串的文字超过 32 MB"));
    }
    void bounds() {
        QFETCH(QString, name);
        QFETCH(quintptr, writer);
        QFETCH(qint64, amount);
        QFETCH(QString, outcome);
        const QString keep = qEnvironmentVariable("ORVANE_LIMIT_FILES");
        const QString path =
            keep.isEmpty() ? m_dir.filePath(name)
                           : QDir(keep).filePath(
                                 QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_') +
                                 u'.' + QFileInfo(name).suffix());
        QVERIFY(reinterpret_cast<Writer>(writer)(path, amount));
        if (name == u"file.xlsx") {
            QCOMPARE(QFileInfo(path).size(), amount);
        }
        const auto [run, grownKb] =
            readLimitCase(helper(), path, m_baselineKb, QTest::currentDataTag());
        QVERIFY(run.exitedNormally);
        const QString expected = outcome.startsWith(QLatin1String("rows "))
                                     ? outcome
                                     : QStringLiteral("无法读取文件“%1”：%2")
                                           .arg(QDir::toNativeSeparators(path), outcome);
        QCOMPARE(run.output, expected);
        if (PeakMeasuresTheProgram) {
            QVERIFY2(grownKb < BudgetKb, qPrintable(QStringLiteral("%1 KB").arg(grownKb)));
        }
    }

private:
    static QString helper() {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/read_workbook");
    }

    QTemporaryDir m_dir;
    long m_baselineKb = 0;
};

QTEST_MAIN(TestWorkbookLimits)
#include "tst_workbooklimits.moc"
