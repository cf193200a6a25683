// The workbook reader and its sheet readers: workbooks written by a spreadsheet program
// (.xls and .xlsx fixtures), by libxlsxwriter, and by hand for damaged and hostile parts.

#include "db/engineerror.h"
#include "db/query.h"
#include "excel/sheetcells.h"
#include "excel/workbookreader.h"
#include "excel/ziparchive.h"
#include "workbookfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <limits>
#include <sys/resource.h>
#include <xlsxwriter.h>

namespace {

const QString Fixtures = QStringLiteral(ORVANE_FIXTURES);

// A cell placed by the tests: zero-based row and column; a null text writes a blank cell
// that has only a format.
struct Placed {
    int row;
    int column;
    QString text;
};

void writeXlsx(const QString& path, const QString& sheetName, const QList<Placed>& cells) {
    lxw_workbook* book = workbook_new(QFile::encodeName(path).constData());
    lxw_worksheet* sheet = workbook_add_worksheet(book, sheetName.toUtf8().constData());
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    for (const Placed& cell : cells) {
        if (cell.text.isNull()) {
            worksheet_write_blank(sheet, cell.row, lxw_col_t(cell.column), bold);
        } else {
            worksheet_write_string(sheet, cell.row, lxw_col_t(cell.column),
                                   cell.text.toUtf8().constData(), nullptr);
        }
    }
    QCOMPARE(workbook_close(book), LXW_NO_ERROR);
}

const QByteArray MainNs = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
const QByteArray RelNs =
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";

QByteArray workbookXml(const QByteArray& sheets, const QByteArray& extra = {}) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook " + MainNs + " " + RelNs + ">" +
           extra + "<sheets>" + sheets + "</sheets></workbook>";
}

QByteArray relsXml(const QByteArray& relationships) {
    return "<Relationships "
           "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" +
           relationships + "</Relationships>";
}

QByteArray relationship(const QByteArray& id, const QByteArray& type, const QByteArray& target) {
    return "<Relationship Id=\"" + id +
           "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/" + type +
           "\" Target=\"" + target + "\"/>";
}

QByteArray sheetXml(const QByteArray& rows) {
    return "<worksheet " + MainNs + "><sheetData>" + rows + "</sheetData></worksheet>";
}

// A result as text: the column names, then each row, cells joined by "|".
QStringList table(Query& query) {
    QStringList lines;
    lines << query.result()->columnNames().join(u'|');
    for (query.first(); !query.eof(); query.next()) {
        QStringList cells;
        for (const QString& name : query.result()->columnNames()) {
            cells << query.fieldByName(name);
        }
        lines << cells.join(u'|');
    }
    return lines;
}

} // namespace

Q_DECLARE_METATYPE(Placed)

class TestWorkbookReader : public QObject {
    Q_OBJECT

private slots:
    void init() { m_query = std::make_unique<Query>(); }

    // Which row names the columns: the first, or the row of several values below a title of
    // one value per row (the card export's merged "名片表"). Rows given as "|"-joined cells
    // from column A; the result as its column names, then its rows.
    void headerBelowATitle_data() {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("result");
        QTest::newRow("no title") << QStringList{"分类|姓名", "客户|张三"}
                                  << QStringList{"分类|姓名", "客户|张三"};
        QTest::newRow("title row") << QStringList{"名片表", "序号|分类|姓名", "1|客户|张三"}
                                   << QStringList{"序号|分类|姓名", "1|客户|张三"};
        QTest::newRow("two title rows")
            << QStringList{"名片表", "2008-03-07", "分类|姓名", "客户|张三"}
            << QStringList{"分类|姓名", "客户|张三"};
        QTest::newRow("one column")
            << QStringList{"姓名", "张三", "李四"} << QStringList{"姓名", "张三", "李四"};
        QTest::newRow("more single rows than a title has")
            << QStringList{"甲", "乙", "丙", "丁", "戊", "a|b"}
            << QStringList{"甲|F2", "乙|", "丙|", "丁|", "戊|", "a|b"};
    }
    void headerBelowATitle() {
        QFETCH(QStringList, rows);
        QFETCH(QStringList, result);
        SheetCells cells;
        for (int r = 0; r < rows.size(); ++r) {
            const QStringList values = rows[r].split(u'|');
            for (int c = 0; c < values.size(); ++c) {
                cells.set(quint32(r), quint32(c), values[c]);
            }
        }
        const std::shared_ptr<ResultSet> read = cells.toResult();
        QStringList shown{read->columnNames().join(u'|')};
        for (int r = 0; r < read->rowCount(); ++r) {
            QStringList values;
            for (int c = 0; c < read->columnCount(); ++c) {
                values << read->text(r, c);
            }
            shown << values.join(u'|');
        }
        QCOMPARE(shown, result);
    }

    // The same rows from the spreadsheet program's .xls and .xlsx: Sheet1 found though it is
    // not the first sheet, names trimmed, numbers and dates as a user would type them.
    void fixtures_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("xls") << QStringLiteral("cards.xls");
        QTest::newRow("xlsx") << QStringLiteral("cards.xlsx");
    }
    void fixtures() {
        QFETCH(QString, file);
        QCOMPARE(openError(Fixtures + file), QString());
        QCOMPARE(m_query->recordCount(), 5);
        const QStringList lines = table(*m_query);
        QCOMPARE(lines.at(0),
                 QStringLiteral("序号|姓名|分类|性别|录入日期|移动电话|固定电话|电子邮箱|qq号码|"
                                "MSN号码|阿里旺旺|描述|省份|城市|单位名称|所在部门|担任职务|单位地"
                                "址|单位电话|单位传真|邮政编码|单位网站|家庭地址|家庭电话|家属姓名|"
                                "补充信息|备注"));
        QCOMPARE(lines.at(1),
                 QStringLiteral("1|张三|客户|男|2008-01-01|13800138000|010-62345678|zhang@"
                                "example.com|123456789|zhang@hotmail.com|zhangww|O'Neil "
                                "的朋友|北京|北京|某某科技|销售部|经理|中关村大街1号|010-62345679|"
                                "010-62345670|100080|www.example.com|家庭住址|010-61234567|李梅|"
                                "1234.5|备注文字"));
        QCOMPARE(lines.at(2), QStringLiteral("2|李四|同事|女|2008-02-02|13900139000||||||0.1|"
                                             "上海|||||||||||||2008-03-07|"));
        QCOMPARE(lines.at(3), QStringLiteral("3||客户|男||13700137000|||||||||||||||||||||"));
        QCOMPARE(lines.at(5), QStringLiteral("5|王五|朋友|男|||||||||||||||||||||||"));
        // Column names are matched without regard to letter case.
        m_query->first();
        QCOMPARE(m_query->fieldByName(QStringLiteral("QQ号码")), QStringLiteral("123456789"));
    }

    // Cells of every kind an .xlsx can hold, written with shared strings and with inline
    // strings (libxlsxwriter's constant-memory mode).
    void cellForms_data() {
        QTest::addColumn<bool>("inlineStrings");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("expected");
        const QList<std::pair<const char*, QString>> cases = {
            {"text", QStringLiteral("名片 O'Neil")},
            {"mobile", QStringLiteral("13800138000")},
            {"negative", QStringLiteral("-42")},
            {"tenth", QStringLiteral("0.1")},
            {"tiny", QStringLiteral("1.5e-07")},
            {"huge", QStringLiteral("1e+21")},
            {"big whole", QStringLiteral("123456789012346000")},
            {"two decimals format", QStringLiteral("3.5")},
            {"date", QStringLiteral("2008-03-07")},
            {"built-in date", QStringLiteral("2008-03-07")},
            {"chinese date", QStringLiteral("2008-03-07")},
            {"date and time", QStringLiteral("2008-03-07 14:30:00")},
            {"time", QStringLiteral("14:30:00")},
            {"am pm time", QStringLiteral("14:30:00")},
            {"quoted letters", QStringLiteral("7")},
            {"boolean", QStringLiteral("TRUE")},
            {"formula", QStringLiteral("2")},
            {"formula text", QStringLiteral("合计")},
            {"rich text", QStringLiteral("红色黑色")},
            {"line breaks", QStringLiteral("第一行\r\n第二行")},
            {"empty", QString()},
        };
        for (const bool inlineStrings : {false, true}) {
            for (const auto& [name, expected] : cases) {
                QTest::addRow("%s, %s", inlineStrings ? "inline" : "shared", name)
                    << inlineStrings << QString::fromUtf8(name) << expected;
            }
        }
    }
    void cellForms() {
        QFETCH(bool, inlineStrings);
        QFETCH(QString, column);
        QFETCH(QString, expected);
        const QString path = m_dir.filePath(QStringLiteral("forms.xlsx"));
        writeCellForms(path, inlineStrings);
        QCOMPARE(openError(path), QString());
        QCOMPARE(m_query->recordCount(), 1);
        m_query->first();
        QCOMPARE(m_query->fieldByName(column), expected);
    }

    // Where the header row and the rows are in the sheet's used range.
    void layouts_data() {
        QTest::addColumn<QList<Placed>>("cells");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("header only")
            << QList<Placed>{{0, 0, "a"}, {0, 1, "b"}} << QStringList{"a|b"};
        QTest::newRow("formatted blanks at the end are not rows")
            << QList<Placed>{{0, 0, "a"}, {1, 0, "1"}, {2, 0, {}}, {3, 1, {}}}
            << QStringList{"a", "1"};
        QTest::newRow("an empty row inside is a row")
            << QList<Placed>{{0, 0, "a"}, {1, 0, "1"}, {3, 0, "3"}}
            << QStringList{"a", "1", "", "3"};
        QTest::newRow("the used range starts at B3")
            << QList<Placed>{{2, 1, "a"}, {2, 2, "b"}, {3, 2, "x"}} << QStringList{"a|b", "|x"};
        QTest::newRow("names without a title and with blanks")
            << QList<Placed>{{0, 0, " 姓名\t"}, {0, 2, "c"}, {1, 1, "x"}}
            << QStringList{"姓名|F2|c", "|x|"};
        QTest::newRow("an empty sheet") << QList<Placed>{} << QStringList{""};
    }
    void layouts() {
        QFETCH(QList<Placed>, cells);
        QFETCH(QStringList, expected);
        const QString path = m_dir.filePath(QStringLiteral("layout.xlsx"));
        writeXlsx(path, QStringLiteral("Sheet1"), cells);
        QCOMPARE(openError(path), QString());
        QCOMPARE(table(*m_query), expected);
        QCOMPARE(m_query->recordCount(), expected.size() - 1);
    }

    // Parts written by hand: what writers do that libxlsxwriter does not, and damage.
    void handMadeParts_data() {
        QTest::addColumn<QByteArray>("workbook");
        QTest::addColumn<QByteArray>("rels");
        QTest::addColumn<QByteArray>("sheet");
        QTest::addColumn<QByteArray>("strings");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("error");

        const QByteArray sheet1 = "<sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/>";
        const QByteArray rels = relsXml(relationship("rId1", "worksheet", "worksheets/s.xml") +
                                        relationship("rId2", "sharedStrings", "strings.xml"));
        const QByteArray strings = "<sst " + MainNs +
                                   "><si><t>名</t></si><si><r><t>红</t></r><r><t>黑</t></r>"
                                   "<rPh><t>ホン</t></rPh></si><si><t>a_x000D_b_x005F_x0041_"
                                   "</t></si></sst>";
        const QString damaged = QStringLiteral("无法读取文件“%1”：文件已损坏或不完整");

        QTest::newRow("positions implied, escapes and phonetic runs")
            << workbookXml(sheet1) << rels
            << sheetXml("<row><c t=\"s\"><v>0</v></c><c t=\"s\"><v>1</v></c></row>"
                        "<row><c t=\"s\"><v>2</v></c><c t=\"inlineStr\"><is><t>内</t></is></c></"
                        "row>")
            << strings << QStringList{"名|红黑", "a\rb_x0041_|内"} << QString();
        QTest::newRow("sheet name in other letters, absolute target, 1904 dates")
            << workbookXml("<sheet name=\"SHEET1\" sheetId=\"1\" r:id=\"rId1\"/>",
                           "<workbookPr date1904=\"1\"/>")
            << relsXml(relationship("rId1", "worksheet", "/xl/worksheets/s.xml") +
                       relationship("rId2", "styles", "styles.xml"))
            << sheetXml("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>d</t></is></c>"
                        "<c r=\"B1\" t=\"inlineStr\"><is><t>n</t></is></c></row>"
                        "<row r=\"2\"><c r=\"A2\" s=\"1\"><v>38052</v></c><c r=\"B2\" "
                        "t=\"d\"><v>2008-03-07T00:00:00</v></c></row>")
            << QByteArray() << QStringList{"d|n", "2008-03-07|2008-03-07"} << QString();
        QTest::newRow("numbers written with 17 digits")
            << workbookXml(sheet1) << rels
            << sheetXml("<row><c t=\"inlineStr\"><is><t>a</t></is></c><c t=\"inlineStr\"><is>"
                        "<t>b</t></is></c><c t=\"inlineStr\"><is><t>c</t></is></c></row>"
                        "<row><c><v>0.30000000000000004</v></c><c><v>1.1000000000000001</v>"
                        "</c><c t=\"n\"><v>1.3800138E10</v></c></row>")
            << strings << QStringList{"a|b|c", "0.3|1.1|13800138000"} << QString();
        QTest::newRow("a document type declaration")
            << "<?xml version=\"1.0\"?><!DOCTYPE w [<!ENTITY a \"aaaaaaaa\">]>" +
                   workbookXml(sheet1)
            << rels << sheetXml("") << strings << QStringList() << damaged;
        QTest::newRow("a shared string that is not there")
            << workbookXml(sheet1) << rels << sheetXml("<row><c t=\"s\"><v>9</v></c></row>")
            << strings << QStringList() << damaged;
        QTest::newRow("a sheet part that is not there")
            << workbookXml(sheet1)
            << relsXml(relationship("rId1", "worksheet", "worksheets/missing.xml")) << sheetXml("")
            << strings << QStringList() << damaged;
        QTest::newRow("a sheet without its relationship")
            << workbookXml("<sheet name=\"Sheet1\" sheetId=\"1\"/>") << rels << sheetXml("")
            << strings << QStringList() << damaged;
        QTest::newRow("a broken cell reference")
            << workbookXml(sheet1) << rels
            << sheetXml("<row><c r=\"1A\" t=\"inlineStr\"><is><t>x</t></is></c></row>") << strings
            << QStringList() << damaged;
        QTest::newRow("a sheet cut short")
            << workbookXml(sheet1) << rels
            << QByteArray("<worksheet><sheetData><row><c t=\"inlineStr\"><is><t>x") << strings
            << QStringList() << damaged;
        QTest::newRow("a used range too large to hold")
            << workbookXml(sheet1) << rels
            << sheetXml("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>a</t></is></c></row>"
                        "<row r=\"1048576\"><c r=\"XFD1048576\"><v>1</v></c></row>")
            << strings << QStringList()
            << QStringLiteral("无法读取文件“%1”：工作表太大（1048576 行 × 16384 列）");
        QTest::newRow("a cell beyond the last column")
            << workbookXml(sheet1) << rels << sheetXml("<row><c r=\"XFE1\"><v>1</v></c></row>")
            << strings << QStringList() << damaged;
        QTest::newRow("no Sheet1")
            << workbookXml("<sheet name=\"Sheet2\" sheetId=\"1\" r:id=\"rId1\"/>") << rels
            << sheetXml("") << strings << QStringList()
            << QStringLiteral("工作簿中没有名为 Sheet1 的工作表");
    }
    void handMadeParts() {
        QFETCH(QByteArray, workbook);
        QFETCH(QByteArray, rels);
        QFETCH(QByteArray, sheet);
        QFETCH(QByteArray, strings);
        QFETCH(QStringList, expected);
        QFETCH(QString, error);
        const QByteArray styles =
            "<styleSheet " + MainNs +
            "><numFmts><numFmt numFmtId=\"164\" formatCode=\"General\"/></numFmts><cellStyleXfs>"
            "<xf numFmtId=\"14\"/><xf numFmtId=\"14\"/></cellStyleXfs><cellXfs><xf "
            "numFmtId=\"164\"/><xf numFmtId=\"14\"/></cellXfs><dxfs><dxf><numFmt "
            "numFmtId=\"164\" formatCode=\"yyyy\"/></dxf></dxfs></styleSheet>";
        const QString path = m_dir.filePath(QStringLiteral("hand.xlsx"));
        QFile::remove(path);
        QVERIFY(writeZip(path, {{"xl/workbook.xml", workbook},
                                {"xl/_rels/workbook.xml.rels", rels},
                                {"xl/worksheets/s.xml", sheet},
                                {"xl/strings.xml", strings},
                                {"xl/styles.xml", styles}}));
        if (error.isEmpty()) {
            QCOMPARE(openError(path), QString());
            QCOMPARE(table(*m_query), expected);
        } else {
            const QString text = error.contains(QLatin1String("%1"))
                                     ? error.arg(QDir::toNativeSeparators(path))
                                     : error;
            QCOMPARE(openError(path), text);
        }
    }

    // A 30 KB sheet whose cell opens ten million elements: refused at once, without the
    // memory the nesting would take (1.8 GB before the bound).
    void deepNestingWithinBoundedMemory() {
        const QByteArray sheet = "<worksheet " + MainNs + "><sheetData><row><c>" +
                                 QByteArray("<a>").repeated(10'000'000);
        const QString path = m_dir.filePath(QStringLiteral("deep.xlsx"));
        QVERIFY(
            writeZip(path, {{"xl/workbook.xml",
                             workbookXml("<sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/>")},
                            {"xl/_rels/workbook.xml.rels",
                             relsXml(relationship("rId1", "worksheet", "worksheets/s.xml"))},
                            {"xl/worksheets/s.xml", sheet}}));
        QVERIFY(QFileInfo(path).size() < 100'000);
        const long peakBefore = peakMemoryKb();
        QCOMPARE(openError(path), QStringLiteral("无法读取文件“%1”：工作表的结构嵌套过深")
                                      .arg(QDir::toNativeSeparators(path)));
        const long grownMb = (peakMemoryKb() - peakBefore) / 1024;
        QVERIFY2(grownMb < 200, qPrintable(QString::number(grownMb)));
    }

    // A member that unpacks to more than the bound is refused as it unpacks, whatever size
    // its header gives (a zip bomb is read no further than the bound).
    void memberBeyondTheBound() {
        const QString path = m_dir.filePath(QStringLiteral("bomb.zip"));
        QVERIFY(writeZip(path, {{"big", QByteArray(3 * 1024 * 1024, ' ')}}));
        const ZipArchive zip(path);
        QByteArray bytes;
        QVERIFY(!zip.read(QStringLiteral("big"), &bytes, 1024 * 1024));
        QVERIFY(bytes.isEmpty());
        QVERIFY(zip.read(QStringLiteral("big"), &bytes, 4 * 1024 * 1024));
        QCOMPARE(bytes.size(), 3 * 1024 * 1024);
    }

    // Files that cannot be read say why, naming the file; the query stays closed.
    void unreadableFiles_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "missing.xls"
                                 << "文件不存在";
        QTest::newRow("a folder") << "folder.xls"
                                  << "这不是一个文件";
        QTest::newRow("empty") << "empty.xls"
                               << "它不是 Excel 工作簿（.xls 或 .xlsx）";
        QTest::newRow("text") << "text.xls"
                              << "它不是 Excel 工作簿（.xls 或 .xlsx）";
        QTest::newRow("xls cut short") << "cut.xls"
                                       << "文件已损坏或不完整";
        QTest::newRow("xls with its records overwritten") << "garbled.xls"
                                                          << "文件已损坏或不完整";
        QTest::newRow("xlsx cut short") << "cut.xlsx"
                                        << "文件已损坏或不完整";
        QTest::newRow("xlsx with its members overwritten") << "garbled.xlsx"
                                                           << "文件已损坏或不完整";
        QTest::newRow("too large") << "large.xls"
                                   << "工作簿太大：文件超过 256 MB";
        QTest::newRow("xls whose root has siblings") << "rootsiblings.xls"
                                                     << "文件已损坏或不完整";
        QTest::newRow("xls damaged by a fuzzer") << "overread.xls"
                                                 << "文件已损坏或不完整";
    }
    void unreadableFiles() {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        const QString path = m_dir.filePath(name);
        makeBadFile(name, path);
        QCOMPARE(
            openError(path),
            QStringLiteral("无法读取文件“%1”：%2").arg(QDir::toNativeSeparators(path), reason));
        QVERIFY(!m_query->active());
    }

    void noSheet1InXls() {
        QCOMPARE(openError(Fixtures + QStringLiteral("nosheet1.xls")),
                 QStringLiteral("工作簿中没有名为 Sheet1 的工作表"));
    }

    void textForms_data() {
        QTest::addColumn<double>("number");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("negative zero") << -0.0 << "0";
        QTest::newRow("mobile") << 13800138000.0 << "13800138000";
        QTest::newRow("largest plain whole") << 1e20 << "100000000000000000000";
        QTest::newRow("beyond plain digits") << 1e21 << "1e+21";
        QTest::newRow("beyond exact whole numbers")
            << 1152921504606846976.0 << "1152921504606850000";
        QTest::newRow("an 18-digit number shows 15 digits")
            << 123456789012345678.0 << "123456789012346000";
        QTest::newRow("a third shows 15 digits") << 1.0 / 3 << "0.333333333333333";
        QTest::newRow("a sum off in the 17th digit") << 0.1 + 0.2 << "0.3";
        QTest::newRow("negative whole") << -13800138000.0 << "-13800138000";
        QTest::newRow("written with 17 digits") << 1.1000000000000001 << "1.1";
        QTest::newRow("negative fraction") << -2.5 << "-2.5";
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << "#NUM!";
        QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << "#NUM!";
    }
    void textForms() {
        QFETCH(double, number);
        QFETCH(QString, text);
        QCOMPARE(numberText(number), text);
    }

    void serialDates_data() {
        QTest::addColumn<double>("serial");
        QTest::addColumn<bool>("from1904");
        QTest::addColumn<int>("parts");
        QTest::addColumn<QString>("text");
        const int date = int(DateParts::Date);
        const int dateTime = int(DateParts::DateTime);
        const int time = int(DateParts::Time);
        QTest::newRow("first day") << 1.0 << false << date << "1900-01-01";
        QTest::newRow("before the false leap day") << 59.0 << false << date << "1900-02-28";
        QTest::newRow("after the false leap day") << 61.0 << false << date << "1900-03-01";
        QTest::newRow("a card's day") << 39514.0 << false << date << "2008-03-07";
        QTest::newRow("with its time") << 39514.5 << false << dateTime << "2008-03-07 12:00:00";
        QTest::newRow("a second before midnight rounds up")
            << 39514.999999999 << false << dateTime << "2008-03-08 00:00:00";
        QTest::newRow("time of day") << 0.25 << false << time << "06:00:00";
        QTest::newRow("1904 system") << 38052.0 << true << date << "2008-03-07";
        QTest::newRow("last day") << 2958465.0 << false << date << "9999-12-31";
        QTest::newRow("beyond the last day") << 2958466.0 << false << date << "";
        QTest::newRow("negative") << -1.0 << false << date << "";
    }
    void serialDates() {
        QFETCH(double, serial);
        QFETCH(bool, from1904);
        QFETCH(int, parts);
        QFETCH(QString, text);
        QCOMPARE(serialDateText(serial, from1904, DateParts(parts)), text);
    }

private:
    static long peakMemoryKb() {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return usage.ru_maxrss;
    }

    // The sheet Sheet1 read into the query; the reader's message, or empty when it was read.
    QString openError(const QString& path) {
        m_query->close();
        try {
            m_query->openResult(readWorkbookSheet(path, QStringLiteral("Sheet1")));
        } catch (const EngineError& e) {
            return e.message();
        }
        return {};
    }

    void makeBadFile(const QString& name, const QString& path) {
        QFile file(path);
        auto copyOf = [](const QString& fixture) {
            QFile source(Fixtures + fixture);
            source.open(QIODevice::ReadOnly);
            return source.readAll();
        };
        if (name == u"folder.xls") {
            QDir(m_dir.path()).mkdir(name);
            return;
        }
        if (name == u"missing.xls") {
            return;
        }
        if (name == u"overread.xls" || name == u"rootsiblings.xls") {
            QVERIFY(QFile::copy(Fixtures + name, path));
            return;
        }
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (name == u"text.xls") {
            file.write("序号,姓名\n1,张三\n");
        } else if (name == u"cut.xls") {
            file.write(copyOf("cards.xls").left(3000));
        } else if (name == u"garbled.xls") {
            QByteArray bytes = copyOf("cards.xls");
            for (qsizetype i = 512; i < bytes.size(); i += 7) {
                bytes[i] = char(0xA5);
            }
            file.write(bytes);
        } else if (name == u"cut.xlsx") {
            file.write(copyOf("cards.xlsx").left(4000));
        } else if (name == u"garbled.xlsx") {
            QByteArray bytes = copyOf("cards.xlsx");
            for (qsizetype i = 100; i < bytes.size() / 2; i += 5) {
                bytes[i] = char(0x5A);
            }
            file.write(bytes);
        } else if (name == u"large.xls") {
            file.write("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
            file.resize(WorkbookLimits::FileBytes + 1); // sparse: costs no disk
        }
    }

    void writeCellForms(const QString& path, bool inlineStrings) {
        lxw_workbook_options options = {};
        options.constant_memory = inlineStrings ? LXW_TRUE : LXW_FALSE;
        lxw_workbook* book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
        lxw_worksheet* sheet = workbook_add_worksheet(book, "Sheet1");
        auto format = [book](const char* code) {
            lxw_format* f = workbook_add_format(book);
            format_set_num_format(f, code);
            return f;
        };
        lxw_format* builtInDate = workbook_add_format(book);
        format_set_num_format_index(builtInDate, 14);
        lxw_format* red = workbook_add_format(book);
        format_set_font_color(red, LXW_COLOR_RED);

        lxw_col_t column = 0;
        auto header = [&](const char* name) {
            worksheet_write_string(sheet, 0, column, name, nullptr);
            return column++;
        };
        // Row 0 names every column; row 1 is written after it, as constant memory demands.
        const QStringList names = {
            "text",    "mobile",        "negative",       "tenth",
            "tiny",    "huge",          "big whole",      "two decimals format",
            "date",    "built-in date", "chinese date",   "date and time",
            "time",    "am pm time",    "quoted letters", "boolean",
            "formula", "formula text",  "rich text",      "line breaks",
            "empty"};
        for (const QString& name : names) {
            header(name.toUtf8().constData());
        }
        const lxw_datetime day = {2008, 3, 7, 0, 0, 0};
        const lxw_datetime afternoon = {2008, 3, 7, 14, 30, 0};
        const lxw_datetime timeOnly = {0, 0, 0, 14, 30, 0};
        lxw_col_t c = 0;
        worksheet_write_string(sheet, 1, c++, "名片 O'Neil", nullptr);
        worksheet_write_number(sheet, 1, c++, 13800138000.0, nullptr);
        worksheet_write_number(sheet, 1, c++, -42, nullptr);
        worksheet_write_number(sheet, 1, c++, 0.1, nullptr);
        worksheet_write_number(sheet, 1, c++, 1.5e-7, nullptr);
        worksheet_write_number(sheet, 1, c++, 1e21, nullptr);
        worksheet_write_number(sheet, 1, c++, 123456789012345678.0, nullptr);
        worksheet_write_number(sheet, 1, c++, 3.5, format("0.00"));
        worksheet_write_datetime(sheet, 1, c++, const_cast<lxw_datetime*>(&day),
                                 format("yyyy-mm-dd"));
        worksheet_write_datetime(sheet, 1, c++, const_cast<lxw_datetime*>(&day), builtInDate);
        worksheet_write_datetime(sheet, 1, c++, const_cast<lxw_datetime*>(&day),
                                 format("[$-804]yyyy\"年\"m\"月\"d\"日\";@"));
        worksheet_write_datetime(sheet, 1, c++, const_cast<lxw_datetime*>(&afternoon),
                                 format("yyyy-mm-dd hh:mm:ss"));
        worksheet_write_datetime(sheet, 1, c++, const_cast<lxw_datetime*>(&timeOnly),
                                 format("hh:mm"));
        worksheet_write_datetime(sheet, 1, c++, const_cast<lxw_datetime*>(&timeOnly),
                                 format("h:mm AM/PM"));
        worksheet_write_number(sheet, 1, c++, 7, format("0\" days\";[Red]\"-\"0"));
        worksheet_write_boolean(sheet, 1, c++, 1, nullptr);
        worksheet_write_formula_num(sheet, 1, c++, "=1+1", nullptr, 2);
        worksheet_write_formula_str(sheet, 1, c++, "=\"合计\"", nullptr, "合计");
        lxw_rich_string_tuple first = {red, const_cast<char*>("红色")};
        lxw_rich_string_tuple second = {nullptr, const_cast<char*>("黑色")};
        lxw_rich_string_tuple* rich[] = {&first, &second, nullptr};
        worksheet_write_rich_string(sheet, 1, c++, rich, nullptr);
        worksheet_write_string(sheet, 1, c++, "第一行\r\n第二行", nullptr);
        QCOMPARE(int(c), names.size() - 1); // the last column stays empty
        QCOMPARE(workbook_close(book), LXW_NO_ERROR);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<Query> m_query;
};

QTEST_MAIN(TestWorkbookReader)
#include "tst_workbookreader.moc"
