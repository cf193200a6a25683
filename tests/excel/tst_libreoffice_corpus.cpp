// LibreOffice as the judge of the workbook readers: every cell of Sheet1 of each workbook
// LibreOffice Calc wrote (fixtures/lo, made by make_fixtures.py beside them) must read as
// LibreOffice's own csv of the same file shows it, in the import's text form; and the .xls
// and the .xlsx of one sheet must read alike.

#include "db/engineerror.h"
#include "db/resultset.h"
#include "excel/sheetcells.h"
#include "excel/workbookreader.h"

#include <QFile>
#include <QTest>

namespace {

const QString Corpus = QStringLiteral(ORVANE_FIXTURES "lo/");

// A csv field; LibreOffice quotes every text cell and no other.
struct Field {
    QString text;
    bool quoted = false;
};
using Grid = QList<QList<Field>>;

Grid parseCsv(const QString& text) {
    Grid rows{{}};
    Field field;
    bool inQuotes = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (inQuotes) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"') {
                field.text += c;
                ++i;
            } else if (c == u'"') {
                inQuotes = false;
            } else {
                field.text += c;
            }
        } else if (c == u'"') {
            inQuotes = field.quoted = true;
        } else if (c == u',' || c == u'\n') {
            rows.last() << std::exchange(field, {});
            if (c == u'\n') {
                rows << QList<Field>();
            }
        } else if (c != u'\r') {
            field.text += c;
        }
    }
    if (!rows.last().isEmpty() || !field.text.isEmpty()) {
        rows.last() << field;
    } else {
        rows.removeLast();
    }
    return rows;
}

// A cell as the import stores it: texts as they are; numbers, which LibreOffice shows in its
// own forms ("1.23456789012346E+017", "-0.00000015"), in the import's number form; dates,
// times, booleans and errors as LibreOffice shows them, which is the import's form as well.
QString importForm(const Field& field) {
    if (field.quoted) {
        return field.text;
    }
    bool isNumber = false;
    const double value = field.text.toDouble(&isNumber);
    return isNumber ? numberText(value) : field.text;
}

// LibreOffice's cells of the sheet, cut to the range the import reads: up to the last row
// and the last column holding a value.
QList<QStringList> expectedCells(const QString& csvPath) {
    QFile file(csvPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QList<QStringList> rows;
    qsizetype columns = 0;
    for (const QList<Field>& fields : parseCsv(QString::fromUtf8(file.readAll()))) {
        QStringList row;
        for (const Field& field : fields) {
            row << importForm(field);
            if (!row.last().isEmpty()) {
                columns = std::max(columns, row.size());
            }
        }
        rows << row;
    }
    while (!rows.isEmpty() && rows.last().join(QString()).isEmpty()) {
        rows.removeLast();
    }
    for (QStringList& row : rows) {
        row.resize(columns);
    }
    return rows;
}

// Where LibreOffice's reading is known to differ from what the file holds, each case with
// its cause; every other cell must be equal.
bool knownDisagreement(const QString& file, const QString& read, QString shown) {
    // LibreOffice's editing engine breaks a paragraph longer than 16,383 characters when it
    // reads the text; the file holds the text without the break.
    constexpr qsizetype LibreOfficeParagraph = 16383;
    if (shown.size() > LibreOfficeParagraph && shown.remove(u'\n') == read) {
        return true;
    }
    const bool xls = file.endsWith(QLatin1String(".xls"));
    // LibreOffice reads a boolean cell of an .xls as the number 1 or 0 (from the .xlsx of
    // the same sheet it shows TRUE and FALSE); the import stores TRUE and FALSE from both.
    if (xls && ((read == u"TRUE" && shown == u"1") || (read == u"FALSE" && shown == u"0"))) {
        return true;
    }
    // LibreOffice writes the days before 1 March 1900 one day later than the 1900 date
    // system of the file formats counts them, and reads them back its own way.
    return read == u"1900-01-02" && shown == u"1900-01-01";
}

QString shortened(const QString& text) {
    return text.size() > 60 ? text.left(60) + QStringLiteral("…(%1)").arg(text.size()) : text;
}

} // namespace

class TestLibreOfficeCorpus : public QObject {
    Q_OBJECT

private slots:
    void sheet1_data() {
        QTest::addColumn<QString>("file");
        for (const char* name : {"longtexts", "values", "rows65536"}) {
            for (const char* format : {".xls", ".xlsx"}) {
                const QString file = QString::fromLatin1(name) + QString::fromLatin1(format);
                QTest::newRow(qPrintable(file)) << file;
            }
        }
        QTest::newRow("formulas.xlsx") << QStringLiteral("formulas.xlsx");
        QTest::newRow("formulas-gnumeric.xls") << QStringLiteral("formulas-gnumeric.xls");
    }
    void sheet1() {
        QFETCH(QString, file);
        const QList<QStringList> expected = expectedCells(Corpus + file + QStringLiteral(".csv"));
        QVERIFY(!expected.isEmpty());
        const auto result = readWorkbookSheet(Corpus + file, QStringLiteral("Sheet1"));

        QStringList names;
        for (qsizetype c = 0; c < expected.first().size(); ++c) {
            const QString name = expected.first().at(c).trimmed();
            names << (name.isEmpty() ? QStringLiteral("F%1").arg(c + 1) : name);
        }
        QCOMPARE(result->columnNames(), names);
        QCOMPARE(result->rowCount(), expected.size() - 1);
        for (int r = 0; r < result->rowCount(); ++r) {
            for (int c = 0; c < result->columnCount(); ++c) {
                const QString read = result->text(r, c);
                const QString shown = expected.at(r + 1).at(c);
                if (read != shown && !knownDisagreement(file, read, shown)) {
                    QFAIL(qPrintable(QStringLiteral("row %1, column %2: read “%3”, LibreOffice "
                                                    "shows “%4”")
                                         .arg(r + 2)
                                         .arg(c + 1)
                                         .arg(shortened(read), shortened(shown))));
                }
            }
        }
    }

    // LibreOffice's own .xls export stores 0 as the result of a formula giving text, and
    // calculates the formula again when it reads the file. The import, which calculates
    // nothing, refuses such a workbook and names the first such cell, rather than take the
    // 0 (formulas-gnumeric.xls, which holds the texts, reads as LibreOffice shows it).
    void textFormulasWithoutResultsRefused() {
        try {
            readWorkbookSheet(Corpus + QStringLiteral("formulas.xls"), QStringLiteral("Sheet1"));
            QFAIL("read without complaint");
        } catch (const EngineError& e) {
            QVERIFY2(
                e.message().contains(QStringLiteral("单元格 B2 的公式没有把计算结果保存在文件中")),
                qPrintable(e.message()));
        }
    }

    // The same sheet gives the same text in every cell from its .xls and from its .xlsx:
    // numbers of 11 and 18 digits, dates, times, booleans, errors, formula results.
    void sameCellsFromBothFormats_data() {
        QTest::addColumn<QString>("xls");
        QTest::addColumn<QString>("xlsx");
        QTest::newRow("values") << "values.xls"
                                << "values.xlsx";
        QTest::newRow("formulas") << "formulas-gnumeric.xls"
                                  << "formulas.xlsx";
        QTest::newRow("long texts") << "longtexts.xls"
                                    << "longtexts.xlsx";
        QTest::newRow("65,536 rows") << "rows65536.xls"
                                     << "rows65536.xlsx";
    }
    void sameCellsFromBothFormats() {
        QFETCH(QString, xls);
        QFETCH(QString, xlsx);
        const auto fromXls = readWorkbookSheet(Corpus + xls, QStringLiteral("Sheet1"));
        const auto fromXlsx = readWorkbookSheet(Corpus + xlsx, QStringLiteral("Sheet1"));
        QCOMPARE(fromXls->columnNames(), fromXlsx->columnNames());
        QCOMPARE(fromXls->rowCount(), fromXlsx->rowCount());
        for (int r = 0; r < fromXls->rowCount(); ++r) {
            for (int c = 0; c < fromXls->columnCount(); ++c) {
                if (fromXls->text(r, c) != fromXlsx->text(r, c)) {
                    QFAIL(qPrintable(
                        QStringLiteral("row %1, column %2: “%3” from .xls, “%4” "
                                       "from .xlsx")
                            .arg(r + 2)
                            .arg(c + 1)
                            .arg(shortened(fromXls->text(r, c)), shortened(fromXlsx->text(r, c)))));
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestLibreOfficeCorpus)
#include "tst_libreoffice_corpus.moc"
