// The visit-log export, driven from the visit window's "Excel" button: the workbook read
// back cell by cell, the list's order and its current row kept, the file name, and a closed list.

#include "db/engineerror.h"
#include "db/query.h"
#include "db/resultset.h"
#include "testsupport.h"
#include "ui/common/datagrid.h"
#include "ui/common/messages.h"
#include "ui/exchange/exportfile.h"
#include "ui/exchange/visitexport.h"
#include "ui/main/mainwindow.h"
#include "ui/visits/visitwindow.h"
#include "xlsxcontent.h"

#include <QDir>
#include <QHeaderView>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>

namespace {
struct Visit {
    QString date;
    QString kind;
    QString content;
};
} // namespace
Q_DECLARE_METATYPE(Visit)

namespace {
// The sheet expected from the title and the list rows.
void checkVisitSheet(const XlsxContent& book, const QString& title, const QList<Visit>& rows) {
    QVERIFY2(book.isValid(), qPrintable(book.error()));
    const int lastRow = int(rows.size()) + 2;
    const QString defaultFont = book.cell("ZZ9999").fontName;
    const QStringList thin{"thin", "thin", "thin", "thin"};
    const QStringList none{"", "", "", ""};
    const QStringList headers{"序号", "拜访日期", "拜访方式", "拜访内容"};

    QCOMPARE(book.title, title);
    QCOMPARE(book.lastRow(), lastRow);
    QCOMPARE(book.lastColumn(), 4);
    QCOMPARE(book.merges, QStringList{"A1:D1"});
    for (int row = 1; row <= lastRow; ++row) {
        for (int column = 1; column <= 4; ++column) {
            const QString where = XlsxContent::address(row, column);
            const XlsxContent::Cell cell = book.cell(where);
            QString text;
            if (row == 1) {
                text = column == 1 ? title : QString();
            } else if (row == 2) {
                text = headers[column - 1];
            } else {
                const Visit& visit = rows[row - 3];
                text = QStringList{QString::number(row - 2), visit.date, visit.kind,
                                   visit.content}[column - 1];
            }
            QVERIFY2(cell.text == text, qPrintable(where + ": " + cell.text + " != " + text));
            // The running number is a number, as on the card sheet; the rest is text.
            const bool runningNumber = row >= 3 && column == 1;
            QVERIFY2(cell.isNumber == runningNumber && !cell.isFormula, qPrintable(where));
            QVERIFY2(cell.numberFormat == (!runningNumber && !text.isEmpty() ? 49 : 0),
                     qPrintable(where));
            QVERIFY2(cell.fontName == (row == 1 ? "宋体" : defaultFont), qPrintable(where));
            QVERIFY2(cell.fontSize == (row == 1 ? 16 : 9), qPrintable(where));
            QVERIFY2(cell.bold == (row <= 2), qPrintable(where));
            QVERIFY2(cell.horizontal == (row <= 2 ? "center" : ""), qPrintable(where));
            QVERIFY2(cell.vertical == (row <= 2 ? "center" : ""), qPrintable(where));
            QVERIFY2(cell.edges == (row >= 2 ? thin : none), qPrintable(where));
        }
    }
    QCOMPARE(book.widths, (QMap<int, double>{{1, 4}, {2, 10}, {3, 10}, {4, 50}}));
    QCOMPARE(book.heights, (QMap<int, double>{{1, 21}}));
    QCOMPARE(book.orientation, QStringLiteral("portrait"));
    QCOMPARE(book.paperSize, QStringLiteral("9")); // A4
    QCOMPARE(book.margins.value("bottom"), 0.75);  // no margin changed
    QCOMPARE(book.footer, QStringLiteral("&COrvane名片管理 https://www.orvane.cn/ 共&N页，第&P页"));
}
} // namespace

class TestVisitExport : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_program = std::make_unique<ProgramFixture>();
        m_exports = std::make_unique<QTemporaryDir>();
        setExportFolder(m_exports->path());
    }
    void cleanup() {
        m_program.reset();
        setExportFolder(QString());
    }

    void exportsTheShownList_data() {
        QTest::addColumn<QList<Visit>>("visits");
        QTest::addColumn<QString>("sortBy");   // a title clicked first, or none
        QTest::addColumn<QList<int>>("order"); // the visits as listed
        const QList<Visit> three = {{"2008-01-05", "电话", "谈合作"},
                                    {"2008-02-01", "上门", "=SUM(A1:A3)"},
                                    {"2008-01-20", "邮件", "007 & <b>报价</b>"}};
        QTest::newRow("three visits, newest first") << three << QString() << QList<int>{1, 2, 0};
        QTest::newRow("none") << QList<Visit>() << QString() << QList<int>();
        QTest::newRow("sorted by kind") << three << "拜访方式" << QList<int>{0, 1, 2};
    }
    void exportsTheShownList() {
        QFETCH(QList<Visit>, visits);
        QFETCH(QString, sortBy);
        QFETCH(QList<int>, order);
        DirectSql& sql = m_program->sql();
        const QString id = insertCard(sql, "客户", "张三", "男");
        for (const Visit& visit : visits) {
            insertVisit(sql, id, visit.date, visit.kind, visit.content);
        }
        m_program->start();

        int cursor = -1;
        int cursorBefore = -2;
        whenModalShown([&](QWidget* window) {
            auto* visitWindow = qobject_cast<TfrmList*>(window);
            QVERIFY(visitWindow);
            if (!sortBy.isEmpty()) {
                clickTitle(visitWindow, sortBy);
            }
            cursorBefore = visitWindow->visitList->recNo();
            QTest::mouseClick(window->findChild<QPushButton*>("BitBtn3"), Qt::LeftButton);
            cursor = visitWindow->visitList->recNo();
            window->close();
        });
        QTest::mouseClick(frmMain->findChild<QToolButton*>("SpeedButton8"), Qt::LeftButton);
        QVERIFY(!QTest::currentTestFailed());

        QVERIFY2(Messages::shown().isEmpty(), qPrintable(lastErrorText()));
        const QStringList files = exportedFiles();
        QCOMPARE(files.size(), 1);
        QVERIFY2(QRegularExpression("^张三 拜访记录 \\d{4}-\\d{2}-\\d{2} \\d{6}\\.xlsx$")
                     .match(QFileInfo(files[0]).fileName())
                     .hasMatch(),
                 qPrintable(files[0]));
        QCOMPARE(Messages::opened(), QList<QUrl>{QUrl::fromLocalFile(files[0])});
        QList<Visit> listed;
        for (int i : order) {
            listed << visits[i];
        }
        checkVisitSheet(XlsxContent(files[0]), QStringLiteral("张三 拜访记录"), listed);
        QCOMPARE(cursor, cursorBefore); // the current visit stays
    }

    // A name is free text; as part of a file name it must not lead elsewhere.
    void aTitleWithSeparatorsStaysInTheExportFolder() {
        const QString title = QStringLiteral("../a/b\\c:*?\"<>| 拜访记录");
        Query list;
        list.openResult(
            std::make_shared<ResultSet>(QStringList{"ID", "拜访日期", "拜访方式", "拜访内容"}));
        exportVisitLog(nullptr, title, &list);
        const QStringList files = exportedFiles();
        QCOMPARE(files.size(), 1);
        QVERIFY2(QFileInfo(files[0]).fileName().startsWith("_._a_b_c_______ 拜访记录 "),
                 qPrintable(files[0]));
        checkVisitSheet(XlsxContent(files[0]), title, {});
    }

    // 80 Chinese characters are 240 bytes of a file name; with the time stamp the name would
    // pass the 255 bytes a file system takes. The title is shortened, the sheet keeps it whole.
    void aLongTitleIsShortenedToAFileName() {
        const QString title = QString(80, u'名') + QStringLiteral(" 拜访记录");
        Query list;
        list.openResult(
            std::make_shared<ResultSet>(QStringList{"ID", "拜访日期", "拜访方式", "拜访内容"}));
        exportVisitLog(nullptr, title, &list);
        QVERIFY2(lastErrorText().isEmpty(), qPrintable(lastErrorText()));
        const QStringList files = exportedFiles();
        QCOMPARE(files.size(), 1);
        const QString name = QFileInfo(files[0]).fileName();
        QVERIFY(name.toUtf8().size() <= 255);
        QVERIFY2(name.startsWith(QString(70, u'名')) && name.endsWith(".xlsx"), qPrintable(name));
        checkVisitSheet(XlsxContent(files[0]), title, {});
    }

    void aClosedListIsReportedAndLeavesNoFile() {
        Query closed;
        QVERIFY_THROWS_EXCEPTION(EngineError, exportVisitLog(nullptr, "张三 拜访记录", &closed));
        QVERIFY(exportedFiles().isEmpty());
        QVERIFY(Messages::opened().isEmpty());
    }

private:
    static void clickTitle(TfrmList* window, const QString& title) {
        QHeaderView* titles = window->DBGrid1->horizontalHeader();
        const int section = window->visitList->result()->columnIndex(title);
        const int x = titles->sectionViewportPosition(section) + titles->sectionSize(section) / 2;
        QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, QPoint(x, titles->height() / 2));
    }
    QStringList exportedFiles() const {
        QStringList files;
        const QDir folder(exportFolder());
        for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
            files << folder.filePath(name);
        }
        return files;
    }

    std::unique_ptr<ProgramFixture> m_program;
    std::unique_ptr<QTemporaryDir> m_exports;
};

QTEST_MAIN(TestVisitExport)
#include "tst_export_visits.moc"
