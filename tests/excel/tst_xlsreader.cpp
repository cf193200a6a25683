// The .xls reader on workbooks built here record by record, in compound files written with
// libgsf: what spreadsheet programs write beyond the LibreOffice corpus (continued strings
// switching their width, formula results, every cell record), and damage.

#include "db/engineerror.h"
#include "db/resultset.h"
#include "workbookfiles.h"
#include "excel/workbookreader.h"

#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <cstring>

namespace {

QByteArray u8(quint8 value) {
    return QByteArray(1, char(value));
}
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
QByteArray f64(double value) {
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    char bytes[8];
    qToLittleEndian(bits, bytes);
    return QByteArray(bytes, 8);
}

QByteArray record(quint16 id, const QByteArray& body) {
    return u16(id) + u16(quint16(body.size())) + body;
}

// Characters one byte wide (wide false) or UTF-16LE, without count or flags.
QByteArray chars(const QString& text, bool wide) {
    if (!wide) {
        return text.toLatin1();
    }
    QByteArray bytes;
    for (const QChar c : text) {
        bytes += u16(c.unicode());
    }
    return bytes;
}

// A string with its character count (16 or 8 bits) and flags, one byte wide when it can be.
QByteArray xlString(const QString& text, bool shortCount = false) {
    bool wide = false;
    for (const QChar c : text) {
        wide = wide || c.unicode() > 0xFF;
    }
    const QByteArray count = shortCount ? u8(quint8(text.size())) : u16(quint16(text.size()));
    return count + u8(wide ? 1 : 0) + chars(text, wide);
}

QByteArray place(quint16 row, quint16 column, quint16 xf = 0) {
    return u16(row) + u16(column) + u16(xf);
}

// Cell records of a sheet.
QByteArray label(quint16 row, quint16 column, const QString& text) {
    return record(0x0204, place(row, column) + xlString(text));
}
QByteArray labelSst(quint16 row, quint16 column, quint32 index) {
    return record(0x00FD, place(row, column) + u32(index));
}
QByteArray number(quint16 row, quint16 column, double value, quint16 xf = 0) {
    return record(0x0203, place(row, column, xf) + f64(value));
}
QByteArray rk(quint16 row, quint16 column, quint32 value, quint16 xf = 0) {
    return record(0x027E, place(row, column, xf) + u32(value));
}
QByteArray boolErr(quint16 row, quint16 column, quint8 value, bool error) {
    return record(0x0205, place(row, column) + u8(value) + u8(error ? 1 : 0));
}
// Formula tokens: the number 1; a text joined to an empty one (="a"&""); a function
// (LOWER("A")); a formula of a range whose tokens stand in a SHRFMLA record.
const QByteArray NumberTokens = u8(0x1E) + u16(1);
const QByteArray JoinTokens = u8(0x17) + u8(1) + u8(0) + "a" + u8(0x17) + u8(0) + u8(0) + u8(0x08);
const QByteArray LowerTokens = u8(0x17) + u8(1) + u8(0) + "A" + u8(0x41) + u16(112);
QByteArray sharedTokens(quint16 row, quint16 column) {
    return u8(0x01) + u16(row) + u16(column);
}

// A formula with its stored result.
QByteArray formula(quint16 row, quint16 column, const QByteArray& result, quint16 xf = 0,
                   const QByteArray& tokens = NumberTokens) {
    return record(0x0006, place(row, column, xf) + result + u16(0) + u32(0) +
                              u16(quint16(tokens.size())) + tokens);
}
QByteArray sharedFormula(quint16 row, quint16 column, const QByteArray& tokens) {
    return record(0x04BC, u16(row) + u16(row + 5) + u8(quint8(column)) + u8(quint8(column)) +
                              u8(0) + u8(2) + u16(quint16(tokens.size())) + tokens);
}
QByteArray specialResult(quint8 kind, quint8 value = 0) {
    return u8(kind) + u8(0) + u8(value) + u8(0) + u8(0) + u8(0) + u16(0xFFFF);
}

constexpr quint16 DateXf = 1;     // the built-in date format 14
constexpr quint16 DateTimeXf = 2; // "yyyy-mm-dd hh:mm"
constexpr quint16 TimeXf = 3;     // "hh:mm:ss"
constexpr quint16 BooleanXf = 4;  // LibreOffice's "TRUE";"TRUE";"FALSE"

// The records before the sheet list that every workbook here has: the formats and cell
// formats above.
QByteArray standardGlobals() {
    QByteArray records;
    const QList<std::pair<quint16, QString>> formats = {
        {164, "yyyy\\-mm\\-dd\\ hh:mm"}, {165, "hh:mm:ss"}, {166, "\"TRUE\";\"TRUE\";\"FALSE\""}};
    for (const auto& [id, code] : formats) {
        records += record(0x041E, u16(id) + xlString(code));
    }
    for (const quint16 format : {0, 14, 164, 165, 166}) {
        records += record(0x00E0, u16(0) + u16(format) + QByteArray(16, '\0'));
    }
    return records;
}

struct Book {
    QByteArray globals = standardGlobals();       // records between the BOF and the sheet list
    QList<std::pair<QString, QByteArray>> sheets; // name and cell records
    quint16 version = 0x0600;
};

QByteArray bof(quint16 version, quint16 kind) {
    return record(0x0809, u16(version) + u16(kind) + QByteArray(12, '\0'));
}

// The Workbook stream: the globals with a sheet list pointing at each sheet's substream.
QByteArray workbookStream(const Book& book) {
    const QByteArray eof = record(0x000A, {});
    QList<QByteArray> substreams;
    qsizetype globalsSize = bof(book.version, 5).size() + book.globals.size() + eof.size();
    for (const auto& [name, cells] : book.sheets) {
        substreams << bof(book.version, 0x10) + cells + eof;
        globalsSize += record(0x0085, u32(0) + u16(0) + xlString(name, true)).size();
    }
    QByteArray stream = bof(book.version, 5) + book.globals;
    qsizetype offset = globalsSize;
    for (qsizetype i = 0; i < book.sheets.size(); ++i) {
        stream +=
            record(0x0085, u32(quint32(offset)) + u16(0) + xlString(book.sheets[i].first, true));
        offset += substreams[i].size();
    }
    stream += eof;
    for (const QByteArray& substream : substreams) {
        stream += substream;
    }
    return stream;
}

QStringList lines(const ResultSet& result) {
    QStringList lines{result.columnNames().join(u'|')};
    for (int r = 0; r < result.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < result.columnCount(); ++c) {
            cells << result.text(r, c);
        }
        lines << cells.join(u'|');
    }
    return lines;
}

// A shared string table of one SST record and the CONTINUE records after it.
QByteArray sst(quint32 count, const QList<QByteArray>& bodies) {
    QByteArray records = record(0x00FC, u32(count) + u32(count) + bodies.first());
    for (qsizetype i = 1; i < bodies.size(); ++i) {
        records += record(0x003C, bodies[i]);
    }
    return records;
}

} // namespace

class TestXlsReader : public QObject {
    Q_OBJECT

private slots:
    // Every cell record, read into the text the .xlsx reader gives for the same cell.
    void cellRecords_data() {
        QTest::addColumn<QByteArray>("cells");
        QTest::addColumn<QString>("expected");
        const auto row = [](const QByteArray& cell) { return label(0, 0, "h") + cell; };
        QTest::newRow("label, one byte wide") << row(label(1, 0, "O'Neil")) << "O'Neil";
        QTest::newRow("label, two bytes wide") << row(label(1, 0, "名片")) << "名片";
        QTest::newRow("rich label")
            << row(record(0x00D6, place(1, 0) + xlString("红字") + u16(1) + u32(0))) << "红字";
        QTest::newRow("11-digit number") << row(number(1, 0, 13800138000.0)) << "13800138000";
        QTest::newRow("18-digit number")
            << row(number(1, 0, 123456789012345678.0)) << "123456789012346000";
        QTest::newRow("RK integer") << row(rk(1, 0, (quint32(-42) << 2) | 0x02)) << "-42";
        QTest::newRow("RK hundredths") << row(rk(1, 0, (1234u << 2) | 0x03)) << "12.34";
        QTest::newRow("RK double's high bits") << row(rk(1, 0, 0x3FF80000)) << "1.5";
        QTest::newRow("date, built-in format") << row(number(1, 0, 39514, DateXf)) << "2008-03-07";
        QTest::newRow("date and time")
            << row(number(1, 0, 39514.6041666667, DateTimeXf)) << "2008-03-07 14:30:00";
        QTest::newRow("time, as RK hundredths")
            << row(rk(1, 0, (25u << 2) | 0x03, TimeXf)) << "06:00:00";
        QTest::newRow("boolean") << row(boolErr(1, 0, 1, false)) << "TRUE";
        QTest::newRow("boolean as a number formatted as one")
            << row(number(1, 0, 0, BooleanXf)) << "FALSE";
        QTest::newRow("error") << row(boolErr(1, 0, 0x07, true)) << "#DIV/0!";
        QTest::newRow("blank") << row(record(0x0201, place(1, 0)) + label(2, 1, "x")) << "";
        QTest::newRow("formula number") << row(formula(1, 0, f64(13800138001.0))) << "13800138001";
        QTest::newRow("formula giving 0") << row(formula(1, 0, f64(0))) << "0";
        QTest::newRow("formula date") << row(formula(1, 0, f64(39514), DateXf)) << "2008-03-07";
        QTest::newRow("formula text, after a shared formula")
            << row(formula(1, 0, specialResult(0)) + record(0x04BC, QByteArray(10, '\0')) +
                   record(0x0207, xlString("张三")))
            << "张三";
        QTest::newRow("formula boolean") << row(formula(1, 0, specialResult(1, 1))) << "TRUE";
        QTest::newRow("formula error") << row(formula(1, 0, specialResult(2, 0x2A))) << "#N/A";
        QTest::newRow("formula empty text")
            << row(formula(1, 0, specialResult(3)) + label(2, 1, "x")) << "";
    }
    void cellRecords() {
        QFETCH(QByteArray, cells);
        QFETCH(QString, expected);
        const auto result = read({{"Sheet1", cells}});
        QVERIFY(result);
        QCOMPARE(result->rowCount() >= 1, true);
        QCOMPARE(result->text(0, 0), expected);
    }

    // A MULRK run and a MULBLANK run across a row.
    void multipleCells() {
        const QByteArray mulRk =
            record(0x00BD, u16(1) + u16(1) + u16(0) + u32((7u << 2) | 2) + u16(DateXf) +
                               u32((39514u << 2) | 2) + u16(0) + u32(0x3FF80000) + u16(3));
        const QByteArray mulBlank =
            record(0x00BE, u16(2) + u16(0) + u16(0) + u16(0) + u16(0) + u16(0) + u16(3));
        const auto result =
            read({{"Sheet1", label(0, 0, "a") + label(0, 1, "b") + label(0, 2, "c") +
                                 label(0, 3, "d") + mulRk + mulBlank + label(3, 0, "end")}});
        QVERIFY(result);
        QCOMPARE(lines(*result), QStringList({"a|b|c|d", "|7|2008-03-07|1.5", "|||", "end|||"}));
    }

    // Shared strings over CONTINUE records: a string's characters go on behind a byte giving
    // their width anew, which may change; formatting runs and phonetic blocks are skipped
    // wherever the boundary falls in them.
    void continuedSharedStrings_data() {
        QTest::addColumn<QList<QByteArray>>("bodies");
        QTest::addColumn<QStringList>("strings");
        QTest::newRow("one byte wide, then two")
            << QList<QByteArray>{u16(6) + u8(0) + chars("abc", false),
                                 u8(1) + chars("名片中", true)}
            << QStringList{"abc名片中"};
        QTest::newRow("two bytes wide, then one")
            << QList<QByteArray>{u16(5) + u8(1) + chars("名片", true), u8(0) + chars("xyz", false)}
            << QStringList{"名片xyz"};
        QTest::newRow("the header alone before the boundary")
            << QList<QByteArray>{u16(2) + u8(0), u8(1) + chars("名片", true)}
            << QStringList{"名片"};
        QTest::newRow("a string starting a CONTINUE has no width byte before it")
            << QList<QByteArray>{xlString("前"), xlString("ok")} << QStringList{"前", "ok"};
        QTest::newRow("formatting runs and phonetic block over the boundary")
            << QList<QByteArray>{u16(3) + u8(0x0D) + u16(2) + u32(6) + chars("红黑字", true) +
                                     QByteArray(5, '\x11'),
                                 QByteArray(3, '\x22') + QByteArray(6, '\x33') + xlString("后")}
            << QStringList{"红黑字", "后"};
        QTest::newRow("a text of 32,767 characters over five records")
            << QList<QByteArray>{u16(32767) + u8(1) + chars(QString(4110, u'名'), true),
                                 u8(0) + chars(QString(8223, u'a'), false),
                                 u8(1) + chars(QString(4111, u'片'), true),
                                 u8(1) + chars(QString(4111, u'中'), true),
                                 u8(0) + chars(QString(8000, u'z'), false),
                                 u8(0) + chars(QString(4212, u'z'), false)}
            << QStringList{QString(4110, u'名') + QString(8223, u'a') + QString(4111, u'片') +
                           QString(4111, u'中') + QString(12212, u'z')};
    }
    void continuedSharedStrings() {
        QFETCH(QList<QByteArray>, bodies);
        QFETCH(QStringList, strings);
        Book book;
        book.globals += sst(quint32(strings.size()), bodies);
        QByteArray cells = label(0, 0, "s");
        for (qsizetype i = 0; i < strings.size(); ++i) {
            cells += labelSst(quint16(i + 1), 0, quint32(i));
        }
        book.sheets = {{"Sheet1", cells}};
        const auto result = readBook(book);
        QVERIFY(result);
        QCOMPARE(lines(*result).mid(1), strings);
    }

    // Sheet1 is found by name in any letter case wherever it stands, past a chart inside
    // another sheet; a chart nested in Sheet1 adds nothing.
    void findsSheet1() {
        const QByteArray chart = bof(0x0600, 0x20) + label(0, 0, "chart") + record(0x000A, {});
        const auto result = read({{"名片", label(0, 0, "other") + chart},
                                  {"SHEET1", label(0, 0, "mine") + chart + label(1, 0, "1")}});
        QVERIFY(result);
        QCOMPARE(lines(*result), QStringList({"mine", "1"}));
        QVERIFY_THROWS_EXCEPTION(EngineError, read({{"Sheet2", label(0, 0, "x")}}));
    }

    // Files the reader refuses, each with the cause in plain words.
    void refused_data() {
        QTest::addColumn<QByteArray>("streamName");
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QString>("reason");
        const QByteArray sheet = label(0, 0, "a");
        Book protectedBook;
        protectedBook.globals = record(0x002F, u16(1) + QByteArray(52, '\0')) + standardGlobals();
        protectedBook.sheets = {{"Sheet1", sheet}};
        Book excel95;
        excel95.version = 0x0500;
        excel95.sheets = {{"Sheet1", sheet}};
        Book badIndex;
        badIndex.sheets = {{"Sheet1", sheet + labelSst(1, 0, 0)}};
        Book badError;
        badError.sheets = {{"Sheet1", sheet + boolErr(1, 0, 0x63, true)}};
        Book hugePhonetic;
        hugePhonetic.globals += sst(1, {u16(1) + u8(0x04) + u32(0x7FFFFFFF) + "a"});
        hugePhonetic.sheets = {{"Sheet1", sheet}};
        Book textWithoutResult;
        textWithoutResult.sheets = {{"Sheet1", sheet + formula(1, 0, f64(0), 0, JoinTokens)}};
        Book functionWithoutResult;
        functionWithoutResult.sheets = {{"Sheet1", sheet + formula(2, 1, f64(0), 0, LowerTokens)}};
        Book sharedWithoutResult;
        sharedWithoutResult.sheets = {{"Sheet1", sheet +
                                                     formula(3, 2, f64(0), 0, sharedTokens(3, 2)) +
                                                     sharedFormula(3, 2, JoinTokens) +
                                                     formula(4, 2, f64(0), 0, sharedTokens(3, 2))}};
        Book good;
        good.sheets = {{"Sheet1", sheet + label(1, 0, "b")}};
        const QByteArray goodStream = workbookStream(good);
        QByteArray badOffset = goodStream;
        badOffset.replace(goodStream.indexOf(QByteArray("\x85\x00", 2)) + 4, 4, u32(0x00FFFFFF));

        const QString damaged = QStringLiteral("文件已损坏或不完整");
        const QString password =
            QStringLiteral("工作簿设有密码保护，请在电子表格程序中去掉密码后再导入");
        const QString older = QStringLiteral(
            "这是 Excel 95 或更早版本的工作簿，请在电子表格程序中另存为 Excel 97-2003 或 .xlsx "
            "格式后再导入");
        QTest::newRow("password") << QByteArray("Workbook") << workbookStream(protectedBook)
                                  << password;
        QTest::newRow("encrypted xlsx") << QByteArray("EncryptedPackage") << goodStream << password;
        QTest::newRow("Excel 95 stream") << QByteArray("Book") << goodStream << older;
        QTest::newRow("Excel 95 records")
            << QByteArray("Workbook") << workbookStream(excel95) << older;
        QTest::newRow("no workbook stream")
            << QByteArray("Other") << goodStream << QStringLiteral("文件中没有 Excel 工作簿");
        QTest::newRow("cut short") << QByteArray("Workbook") << goodStream.chopped(6) << damaged;
        QTest::newRow("sheet beyond the stream") << QByteArray("Workbook") << badOffset << damaged;
        QTest::newRow("shared string not there")
            << QByteArray("Workbook") << workbookStream(badIndex) << damaged;
        QTest::newRow("unknown error code")
            << QByteArray("Workbook") << workbookStream(badError) << damaged;
        QTest::newRow("phonetic block past the end")
            << QByteArray("Workbook") << workbookStream(hugePhonetic) << damaged;
        QTest::newRow("not records")
            << QByteArray("Workbook") << QByteArray(3000, '\x5A') << damaged;
        const QString noResult = QStringLiteral(
            "单元格 %1 的公式没有把计算结果保存在文件中（LibreOffice 保存的 .xls 文件会这样），"
            "程序不计算公式，无法得到它的值。请在电子表格程序中把工作簿另存为 .xlsx 后再导入");
        QTest::newRow("joined text stored as 0")
            << QByteArray("Workbook") << workbookStream(textWithoutResult) << noResult.arg("A2");
        QTest::newRow("text function stored as 0")
            << QByteArray("Workbook") << workbookStream(functionWithoutResult)
            << noResult.arg("B3");
        QTest::newRow("shared text formula stored as 0")
            << QByteArray("Workbook") << workbookStream(sharedWithoutResult) << noResult.arg("C4");
    }
    void refused() {
        QFETCH(QByteArray, streamName);
        QFETCH(QByteArray, stream);
        QFETCH(QString, reason);
        const QString path = m_dir.filePath(QStringLiteral("refused.xls"));
        QVERIFY(writeCompoundFile(path, streamName.constData(), stream));
        try {
            readWorkbookSheet(path, QStringLiteral("Sheet1"));
            QFAIL("read without complaint");
        } catch (const EngineError& e) {
            QCOMPARE(e.message(), QStringLiteral("无法读取文件“%1”：%2").arg(path, reason));
        }
    }

private:
    std::shared_ptr<ResultSet> read(const QList<std::pair<QString, QByteArray>>& sheets) {
        Book book;
        book.sheets = sheets;
        return readBook(book);
    }
    std::shared_ptr<ResultSet> readBook(const Book& book) {
        const QString path = m_dir.filePath(QStringLiteral("built.xls"));
        if (!writeCompoundFile(path, "Workbook", workbookStream(book))) {
            return nullptr;
        }
        return readWorkbookSheet(path, QStringLiteral("Sheet1"));
    }

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestXlsReader)
#include "tst_xlsreader.moc"
