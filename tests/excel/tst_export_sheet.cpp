// The spreadsheet layer on its own: range formats combined per cell, texts kept as texts,
// merges, page setup and footer codes, and files it cannot write.

#include "db/resultset.h"
#include "excel/sheetwriter.h"
#include "excel/workbookreader.h"
#include "xlsxcontent.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestSheetWriter : public QObject {
    Q_OBJECT

private slots:
    void rangeFormatsCombineInEachCell() {
        SheetWriter sheet;
        sheet.setText(1, 1, "title");
        sheet.setText(2, 1, "head");
        sheet.setText(2, 2, "head2");
        sheet.setNumber(3, 1, 1);
        sheet.setText(3, 2, QString()); // an empty text in a bordered range
        sheet.merge({1, 1, 1, 3});
        sheet.setFontName({1, 1, 1, 3}, "宋体");
        sheet.setFontSize({1, 1, 1, 3}, 18);
        sheet.setBold({1, 1, 2, 3});
        sheet.centre({1, 1, 2, 3});
        sheet.setBorders({2, 1, 3, 3});
        sheet.setFontSize({1, 1, 3, 1}, 9); // set last: wins over 18 in A1
        const XlsxContent book = save(sheet);
        QVERIFY2(book.isValid(), qPrintable(book.error()));

        const QStringList thin{"thin", "thin", "thin", "thin"};
        const QStringList none{"", "", "", ""};
        struct Expected {
            const char* address;
            const char* font; // "" for the default
            double size;
            bool bold;
            bool centred;
            bool borders;
        };
        const Expected expected[] = {
            {"A1", "宋体", 9, true, true, false},  {"B1", "宋体", 18, true, true, false},
            {"C1", "宋体", 18, true, true, false}, {"A2", "", 9, true, true, true},
            {"B2", "", 11, true, true, true},      {"C2", "", 11, true, true, true},
            {"A3", "", 9, false, false, true},     {"B3", "", 11, false, false, true},
            {"C3", "", 11, false, false, true},    {"D3", "", 11, false, false, false},
        };
        const QString defaultFont = book.cell("Z99").fontName;
        for (const Expected& e : expected) {
            const XlsxContent::Cell cell = book.cell(e.address);
            QCOMPARE(cell.fontName, *e.font ? QString(e.font) : defaultFont);
            QCOMPARE(cell.fontSize, e.size);
            QCOMPARE(cell.bold, e.bold);
            QCOMPARE(cell.horizontal, e.centred ? "center" : "");
            QCOMPARE(cell.vertical, e.centred ? "center" : "");
            QCOMPARE(cell.edges, e.borders ? thin : none);
        }
        QVERIFY(book.cell("B3").present); // written blank, so its borders show
        QVERIFY(!book.cell("D3").present);
        QVERIFY(book.cell("A3").isNumber);
        QCOMPARE(book.cell("A3").text, QStringLiteral("1"));
        QCOMPARE(book.merges, QStringList{"A1:C1"});
        QCOMPARE(book.heights, (QMap<int, double>{{1, 23.25}})); // grown for its 18 points
        QCOMPARE(book.lastRow(), 3);
        QCOMPARE(book.lastColumn(), 3);
    }

    void textsStayTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("leading zeros") << "007";
        QTest::newRow("long digits") << "12345678901234567890";
        QTest::newRow("formula") << "=1+1";
        QTest::newRow("function") << "=HYPERLINK(\"http://x\",\"y\")";
        QTest::newRow("date") << "2008-03-07";
        QTest::newRow("exponent") << "1E5";
        QTest::newRow("boolean") << "TRUE";
        QTest::newRow("blanks") << " 前后空格 ";
        QTest::newRow("markup") << "<a href='x'>&amp;\"</a>";
        QTest::newRow("line break and tab") << "一\n二\t三";
        QTest::newRow("control character") << QString("a") + QChar(1) + "b";
        QTest::newRow("escape lookalike") << "_x0041_ and _X0041_ and _x004G_";
        QTest::newRow("outside the basic plane") << "𠀋😀";
    }
    // The same through the UTF-8 form the card list hands over (column C).
    void textsStayTexts() {
        QFETCH(QString, text);
        SheetWriter sheet;
        sheet.setText(1, 1, text);
        sheet.setText(1, 2, "after");
        const QByteArray utf8 = text.toUtf8();
        sheet.setUtf8Text(1, 3, std::string_view(utf8.constData(), size_t(utf8.size())));
        const XlsxContent book = save(sheet);
        QVERIFY2(book.isValid(), qPrintable(book.error()));
        for (const char* address : {"A1", "C1"}) {
            QCOMPARE(book.cell(address).text, text);
            QVERIFY(!book.cell(address).isNumber);
            QVERIFY(!book.cell(address).isFormula);
            QCOMPARE(book.cell(address).numberFormat, 49);
        }
        QCOMPARE(book.cell("B1").text, QStringLiteral("after"));
    }

    // Streamed: the layout first, then rows in order, each written out when a later row is
    // touched. The file is the one a sheet filled first gives; a cell of a row already
    // written out is dropped, not written over the row after it.
    void aStreamedSheetIsTheSameAsOneFilledFirst() {
        const auto layOut = [](SheetWriter& sheet) {
            sheet.merge({1, 1, 1, 3});
            sheet.setFontSize({1, 1, 1, 3}, 18);
            sheet.setBold({1, 1, 2, 3});
            sheet.setBorders({2, 1, 6, 3});
            sheet.setFontSize({2, 1, 6, 3}, 9);
            sheet.setColumnWidth(1, 4);
            sheet.setText(1, 1, "title");
        };
        const auto fill = [](SheetWriter& sheet, int row) {
            sheet.setNumber(row, 1, row);
            sheet.setText(row, 2, QStringLiteral("名%1").arg(row));
            sheet.setText(row, 3, "_x0041_");
        };
        SheetWriter filledFirst;
        layOut(filledFirst);
        for (int row = 2; row <= 5; ++row) {
            fill(filledFirst, row);
        }
        const XlsxContent expected = save(filledFirst);

        SheetWriter streamed;
        layOut(streamed);
        const QString path = m_dir.filePath(QStringLiteral("streamed.xlsx"));
        QVERIFY(streamed.begin(path));
        for (int row = 2; row <= 5; ++row) {
            fill(streamed, row);
        }
        streamed.setText(3, 2, "late"); // row 3 is out already
        QVERIFY(streamed.finish());
        const XlsxContent book(path);
        QVERIFY2(book.isValid(), qPrintable(book.error()));
        QCOMPARE(book.lastRow(), 6); // the bordered blank row 6 as well
        QCOMPARE(book.merges, expected.merges);
        QCOMPARE(book.heights, expected.heights);
        for (int row = 1; row <= 6; ++row) {
            for (int column = 1; column <= 4; ++column) {
                const QString address = XlsxContent::address(row, column);
                const XlsxContent::Cell cell = book.cell(address);
                const XlsxContent::Cell wanted = expected.cell(address);
                QCOMPARE(cell.present, wanted.present);
                QCOMPARE(cell.text, wanted.text);
                QCOMPARE(cell.fontSize, wanted.fontSize);
                QCOMPARE(cell.bold, wanted.bold);
                QCOMPARE(cell.edges, wanted.edges);
            }
        }
        QCOMPARE(book.cell("B3").text, QStringLiteral("名3"));
    }

    void aSheetBegunAndNeverFinishedWritesNoFile() {
        const QString path = m_dir.filePath(QStringLiteral("abandoned.xlsx"));
        {
            SheetWriter sheet;
            QVERIFY(sheet.begin(path));
            sheet.setText(1, 1, "x");
            sheet.setText(2, 1, "y");
        }
        QVERIFY(!QFile::exists(path));
    }

    // Characters XML cannot carry travel as "_xHHHH_" escapes: the import reads back every
    // text exactly (a NUL no longer ends it), and LibreOffice opens the file.
    void importReadsBackEveryCharacter() {
        QString controls;
        for (char16_t c = 0; c < 0x20; ++c) {
            controls += QChar(c);
        }
        const QStringList texts = {controls + u'z',
                                   QStringLiteral("前") + QChar(0) + QStringLiteral("后"),
                                   QString(QChar(0xFFFE)) + QChar(0xFFFF) + u'x',
                                   QStringLiteral("_x0041_ _x005F_ _X0041_ _x004G_ __x0000__"),
                                   QStringLiteral("a\r\nb\tc"),
                                   QStringLiteral("000123")};
        SheetWriter sheet;
        sheet.setText(1, 1, QStringLiteral("text"));
        for (qsizetype i = 0; i < texts.size(); ++i) {
            sheet.setText(int(i) + 2, 1, texts[i]);
        }
        const QString path = m_dir.filePath(QStringLiteral("characters.xlsx"));
        QVERIFY(sheet.save(path));

        const auto result = readWorkbookSheet(path, QStringLiteral("Sheet1"));
        QCOMPARE(result->rowCount(), texts.size());
        for (int r = 0; r < result->rowCount(); ++r) {
            QCOMPARE(result->text(r, 0), texts[r]);
        }
        const XlsxContent book(path);
        QVERIFY2(book.isValid(), qPrintable(book.error()));
        QCOMPARE(book.cell("A7").numberFormat, 49); // text: "000123" stays text when edited

        const QString office = officeProgram();
        if (office.isEmpty()) {
            QSKIP("LibreOffice (soffice) is not installed");
        }
        QString csv;
        QVERIFY(convertWithOffice(office, path, "csv:Text - txt - csv (StarCalc):44,34,76",
                                  m_dir.filePath(QStringLiteral("csv")), &csv));
        QVERIFY(csv.contains(QStringLiteral("000123")));
    }

    void longTextIsCutAtTheCellLimit() {
        // A character outside the basic plane straddles the limit: it is dropped whole.
        const QString text = QString(SheetWriter::MaxTextLength - 1, u'长') + "😀" + "tail";
        SheetWriter sheet;
        sheet.setText(1, 1, text);
        sheet.setText(2, 1, QString(SheetWriter::MaxTextLength, u'满'));
        const XlsxContent book = save(sheet);
        QVERIFY2(book.isValid(), qPrintable(book.error()));
        QCOMPARE(book.cell("A1").text, QString(SheetWriter::MaxTextLength - 1, u'长'));
        QCOMPARE(book.cell("A2").text, QString(SheetWriter::MaxTextLength, u'满'));
    }

    void cellsInAnyOrderTheLastValueWins() {
        SheetWriter sheet;
        sheet.setText(2, 3, "c");
        sheet.setText(2, 1, "a");
        sheet.setNumber(2, 2, 2.5);
        sheet.setText(2, 3, "c again");
        sheet.setText(2, 1, "a again");
        sheet.setText(0, 1, "ignored");
        const XlsxContent book = save(sheet);
        QVERIFY2(book.isValid(), qPrintable(book.error()));
        QCOMPARE(book.cell("A2").text, QStringLiteral("a again"));
        QCOMPARE(book.cell("B2").text, QStringLiteral("2.5"));
        QCOMPARE(book.cell("C2").text, QStringLiteral("c again"));
        QVERIFY(!book.cell("A1").present);
        QCOMPARE(book.lastRow(), 2);
    }

    void pageSetupFooterAndTitle() {
        SheetWriter sheet;
        sheet.setTitle("A & <B> \"名片\"");
        sheet.setText(1, 1, "x");
        sheet.merge({2, 2, 4, 3}); // over several rows, cells not yet written
        sheet.merge({5, 1, 5, 1}); // one cell: nothing to merge
        sheet.setText(5, 1, "y");
        sheet.setColumnWidth(1, 4);
        sheet.setColumnWidth(3, 50);
        sheet.setBottomMargin(360.0 / 7);
        sheet.setPortrait();
        sheet.setCentreFooter(SheetWriter::footerText("R&D 100% ") + "&P/&N");
        const XlsxContent book = save(sheet);
        QVERIFY2(book.isValid(), qPrintable(book.error()));
        QCOMPARE(book.title, QStringLiteral("A & <B> \"名片\""));
        QCOMPARE(book.merges, QStringList{"B2:C4"});
        QCOMPARE(book.widths.value(1), 4.0);
        QVERIFY(!book.widths.contains(2));
        QCOMPARE(book.widths.value(3), 50.0);
        QVERIFY(qAbs(book.margins.value("bottom") - 360.0 / 7 / 72) < 1e-9);
        QCOMPARE(book.margins.value("top"), 0.75);
        QCOMPARE(book.orientation, QStringLiteral("portrait"));
        QCOMPARE(book.footer, QStringLiteral("&CR&&D 100% &P/&N"));
        QCOMPARE(book.cell("A5").text, QStringLiteral("y"));
    }

    void unwritablePlacesFail() {
        QTemporaryDir dir;
        SheetWriter sheet;
        sheet.setText(1, 1, "x");
        QVERIFY(!sheet.save(dir.filePath("missing/book.xlsx")));
        QVERIFY(!sheet.save(dir.path())); // a folder, not a file
        QVERIFY(!QFile::exists(dir.filePath("missing")));
    }

private:
    XlsxContent save(SheetWriter& sheet) {
        const QString path = m_dir.filePath(QStringLiteral("book%1.xlsx").arg(++m_saved));
        if (!sheet.save(path)) {
            qWarning("cannot save %s", qPrintable(path));
        }
        return XlsxContent(path);
    }

    QTemporaryDir m_dir;
    int m_saved = 0;
};

QTEST_MAIN(TestSheetWriter)
#include "tst_export_sheet.moc"
