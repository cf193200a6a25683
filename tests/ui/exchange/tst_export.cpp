// The card-list export, driven from the main window's "Excel" button through the options
// window: the workbook read back cell by cell, the list's order and cursor, the file it
// goes to, failures, and the file opened by a real spreadsheet program.

#include "db/query.h"
#include "db/sqltext.h"
#include "testsupport.h"
#include "ui/common/datagrid.h"
#include "ui/common/messages.h"
#include "ui/common/workprogress.h"
#include "ui/exchange/exportfile.h"
#include "ui/exchange/exportoptions.h"
#include "ui/exchange/importwindow.h"
#include "ui/main/mainwindow.h"
#include "xlsxcontent.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>

namespace {
// The 25 fields in box order, and the card table column behind each.
const QStringList Captions = {"录入日期", "分类",     "姓名",     "性别",     "固定电话",
                              "移动电话", "电子邮箱", "QQ号码",   "MSN号码",  "阿里旺旺",
                              "描述",     "省份",     "城市",     "单位名称", "所在部门",
                              "担任职务", "单位地址", "单位电话", "单位传真", "邮政编码",
                              "单位网站", "家庭地址", "家庭电话", "家属姓名", "补充信息"};
const QStringList Columns = {"theDate", "theType", "BName", "BSex", "BPho",  "BMob",  "BMail",
                             "BQQ",     "BMSN",    "BWW",   "BDes", "DArea", "DCity", "DName",
                             "DPart",   "DJob",    "DAdd",  "DPho", "DFax",  "DPos",  "DWWW",
                             "FAdd",    "FPho",    "FPro",  "FDes"};
const QList<int> TickedAtStart = {2, 3, 4, 5, 6, 12, 13, 14};

using Card = QMap<QString, QString>; // caption -> stored value; a missing caption is NULL

QStringList captionsOf(const QList<int>& boxes) {
    QStringList captions;
    for (int box : boxes) {
        captions << Captions[box - 1];
    }
    return captions;
}

// Three cards: one with values a spreadsheet would like to convert, one plain, one almost
// empty (NULLs and empty texts). Listed newest first: 王五, 李四, 张三.
QList<Card> fixtureCards() {
    Card zhang;
    for (const QString& caption : Captions) {
        zhang[caption] = caption + QStringLiteral("甲");
    }
    zhang["录入日期"] = "2008-03-07";
    zhang["分类"] = "客户";
    zhang["姓名"] = "张三";
    zhang["性别"] = "男";
    zhang["固定电话"] = "007";
    zhang["移动电话"] = "13800138000123456789";
    zhang["QQ号码"] = "=1+1";
    zhang["描述"] = "=HYPERLINK(\"http://x\",\"点我\")";
    zhang["MSN号码"] = " 前后空格 ";
    zhang["阿里旺旺"] = "1E5";
    zhang["城市"] = "TRUE";
    zhang["单位名称"] = "<公司>&\"'";
    zhang["邮政编码"] = "000123";
    zhang["单位网站"] = "-1";
    zhang["家庭电话"] = "0";
    zhang["补充信息"] = "_x0041_";
    Card li;
    for (const QString& caption : Captions) {
        li[caption] = caption + QStringLiteral("乙");
    }
    li["录入日期"] = "2008-03-01";
    li["姓名"] = "李四";
    Card wang;
    wang["录入日期"] = "2008-03-05";
    wang["姓名"] = "王五";
    wang["分类"] = "";
    wang["固定电话"] = "";
    return {zhang, li, wang};
}

void insertFullCard(DirectSql& sql, const Card& card) {
    QStringList columns{"theDel"};
    QStringList values{"'否'"};
    for (auto it = card.begin(); it != card.end(); ++it) {
        columns << Columns[Captions.indexOf(it.key())];
        values << "'" + sqlText(it.value()) + "'";
    }
    sql.exec("INSERT INTO D_B (" + columns.join(',') + ") VALUES (" + values.join(',') + ")");
}

// The live cards by name, each as its fields (the entry date aside) joined by "|", a NULL
// read as empty.
QStringList storedCards(DirectSql& sql) {
    QStringList fields;
    for (const QString& column : Columns.mid(1)) {
        fields << QStringLiteral("coalesce(%1, '')").arg(column);
    }
    const QString query = QStringLiteral("SELECT %1 FROM D_B ORDER BY BName")
                              .arg(fields.join(QStringLiteral("||'|'||")));
    QStringList cards;
    const int count = sql.count(query);
    for (int row = 0; row < count; ++row) {
        cards << sql.scalar(QStringLiteral("%1 LIMIT 1 OFFSET %2").arg(query).arg(row));
    }
    return cards;
}

// The sheet expected from the list rows (each a card) and the chosen fields.
void checkCardSheet(const XlsxContent& book, const QStringList& fields, const QList<Card>& rows) {
    QVERIFY2(book.isValid(), qPrintable(book.error()));
    const int columns = int(fields.size()) + 1;
    const int lastRow = int(rows.size()) + 2;
    const QString defaultFont = book.cell("ZZ9999").fontName;
    const QStringList thin{"thin", "thin", "thin", "thin"};
    const QStringList none{"", "", "", ""};
    QVERIFY(!defaultFont.isEmpty() && defaultFont != "宋体");

    QCOMPARE(book.title, QStringLiteral("名片表"));
    QCOMPARE(book.lastRow(), lastRow);
    QCOMPARE(book.lastColumn(), columns);
    QCOMPARE(book.merges,
             columns > 1 ? QStringList{"A1:" + XlsxContent::address(1, columns)} : QStringList());
    for (int row = 1; row <= lastRow; ++row) {
        for (int column = 1; column <= columns; ++column) {
            const QString where = XlsxContent::address(row, column);
            const XlsxContent::Cell cell = book.cell(where);
            QString text;
            if (row == 1) {
                text = column == 1 ? QStringLiteral("名片表") : QString();
            } else if (row == 2) {
                text = column == 1 ? QStringLiteral("序号") : fields[column - 2];
            } else {
                text = column == 1 ? QString::number(row - 2)
                                   : rows[row - 3].value(fields[column - 2]);
            }
            QVERIFY2(cell.text == text, qPrintable(where + ": " + cell.text + " != " + text));
            QVERIFY2(cell.isNumber == (row > 2 && column == 1), qPrintable(where));
            QVERIFY2(!cell.isFormula, qPrintable(where));
            QVERIFY2(cell.fontName == (row == 1 ? "宋体" : defaultFont), qPrintable(where));
            QVERIFY2(cell.fontSize == (row == 1 ? 18 : 9), qPrintable(where));
            QVERIFY2(cell.bold == (row <= 2), qPrintable(where));
            QVERIFY2(cell.horizontal == (row <= 2 ? "center" : ""), qPrintable(where));
            QVERIFY2(cell.vertical == (row <= 2 ? "center" : ""), qPrintable(where));
            QVERIFY2(cell.edges == (row >= 2 ? thin : none), qPrintable(where));
        }
    }
    QCOMPARE(book.heights, (QMap<int, double>{{1, 23.25}})); // the title row fits its font
    QCOMPARE(book.widths.size(), columns);
    for (int column = 1; column <= columns; ++column) {
        QCOMPARE(book.widths.value(column), column == 1 ? 4.0 : 10.0);
    }
    QVERIFY(qAbs(book.margins.value("bottom") - 360.0 / 7 / 72) < 1e-9);
    QCOMPARE(book.margins.value("top"), 0.75);
    QCOMPARE(book.margins.value("left"), 0.7);
    QVERIFY(book.orientation != "landscape");
    QCOMPARE(book.footer,
             QStringLiteral("&COrvane名片管理  https://www.orvane.cn/ 共&N页，第&P页"));
}
} // namespace

class TestCardExport : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_program = std::make_unique<ProgramFixture>();
        m_exports = std::make_unique<QTemporaryDir>();
        setExportFolder(m_exports->filePath("导出"));
    }
    void cleanup() {
        m_program.reset();
        setExportFolder(QString());
    }

    void optionsWindow() {
        m_program->start();
        whenModalShown([](QWidget* window) {
            QCOMPARE(window->objectName(), QStringLiteral("frmE"));
            QCOMPARE(window->windowTitle(), QStringLiteral("EXCEL导出选项"));
            QVERIFY(!(window->windowFlags() & Qt::WindowMinMaxButtonsHint));
            auto* group = window->findChild<QGroupBox*>("GroupBox1");
            QCOMPARE(group->title(), QStringLiteral("请选择要导出的名片项目"));
            QCOMPARE(group->geometry(), QRect(16, 8, 513, 153));
            QWidget* previous = nullptr;
            for (int k = 1; k <= 25; ++k) {
                auto* box = group->findChild<QCheckBox*>(QStringLiteral("CheckBox%1").arg(k));
                QVERIFY(box);
                QCOMPARE(box->text(), Captions[k - 1]);
                QCOMPARE(box->isChecked(), TickedAtStart.contains(k));
                QCOMPARE(box->geometry(),
                         QRect(16 + 100 * ((k - 1) % 5), 24 + 24 * ((k - 1) / 5), 80, 17));
                if (previous) {
                    QCOMPARE(previous->nextInFocusChain(), box);
                }
                previous = box;
            }
            auto* exportButton = window->findChild<QPushButton*>("BitBtn2");
            auto* exitButton = window->findChild<QPushButton*>("BitBtn3");
            QCOMPARE(exportButton->text(), QStringLiteral("导出"));
            QCOMPARE(exportButton->geometry(), QRect(335, 176, 75, 25));
            QVERIFY(!exportButton->icon().isNull());
            auto* selectAll = window->findChild<QPushButton*>("SelectAll");
            auto* selectNone = window->findChild<QPushButton*>("SelectNone");
            QCOMPARE(selectAll->text(), QStringLiteral("全选"));
            QCOMPARE(selectNone->text(), QStringLiteral("全不选"));
            QCOMPARE(previous->nextInFocusChain(), selectAll);
            QCOMPARE(selectAll->nextInFocusChain(), selectNone);
            QCOMPARE(selectNone->nextInFocusChain(), exportButton);
            QCOMPARE(exitButton->text(), QStringLiteral("退出"));
            QCOMPARE(exitButton->geometry(), QRect(439, 176, 75, 25));
            QVERIFY(!exitButton->isDefault() && !exportButton->isDefault());

            QTest::keyClick(window, Qt::Key_Escape); // as 退出
            QVERIFY(!window->isVisible());
        });
        clickExcel();
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(exportedFiles().isEmpty());
    }

    void exportsTheTickedFields_data() {
        QTest::addColumn<QString>("button"); // 全选 or 全不选, clicked before the boxes
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("the default nine columns")
            << QString() << QList<int>() << captionsOf(TickedAtStart);
        QTest::newRow("no box ticked") << QString() << TickedAtStart << QStringList();
        QTest::newRow("全选") << "SelectAll" << QList<int>() << Captions;
        QTest::newRow("全不选, then two boxes")
            << "SelectNone" << QList<int>{3, 1} << QStringList{"录入日期", "姓名"};
        QTest::newRow("全选, then one box unticked")
            << "SelectAll" << QList<int>{1} << Captions.mid(1);
        QList<int> unticked;
        for (int k = 1; k <= 25; ++k) {
            if (!TickedAtStart.contains(k)) {
                unticked << k;
            }
        }
        QTest::newRow("all 25 boxes") << QString() << unticked << Captions;
        QTest::newRow("in box order, whatever the click order")
            << QString() << QList<int>{25, 3, 1, 12}
            << QStringList{"录入日期", "分类", "性别",     "固定电话",
                           "移动电话", "城市", "单位名称", "补充信息"};
    }
    void exportsTheTickedFields() {
        QFETCH(QString, button);
        QFETCH(QList<int>, clicks);
        QFETCH(QStringList, fields);
        const QList<Card> cards = fixtureCards();
        for (const Card& card : cards) {
            insertFullCard(m_program->sql(), card);
        }
        m_program->start();
        Query* list = frmMain->cardList;
        QCOMPARE(list->recNo(), 1);

        whenModalShown([&](QWidget* window) {
            if (!button.isEmpty()) {
                QTest::mouseClick(window->findChild<QPushButton*>(button), Qt::LeftButton);
            }
            for (int box : clicks) {
                QTest::mouseClick(checkBox(window, box), Qt::LeftButton);
            }
            QTest::mouseClick(window->findChild<QPushButton*>("BitBtn2"), Qt::LeftButton);
            QVERIFY(window->isVisible()); // the window stays open, the boxes as they were
            QCOMPARE(checkBox(window, 25)->isChecked(), fields.contains("补充信息"));
            window->close();
        });
        clickExcel();
        QVERIFY(!QTest::currentTestFailed());

        QVERIFY2(Messages::shown().isEmpty(), qPrintable(lastErrorText()));
        const QStringList files = exportedFiles();
        QCOMPARE(files.size(), 1);
        QVERIFY2(QRegularExpression("^名片表 \\d{4}-\\d{2}-\\d{2} \\d{6}\\.xlsx$")
                     .match(QFileInfo(files[0]).fileName())
                     .hasMatch(),
                 qPrintable(files[0]));
        QCOMPARE(Messages::opened(), QList<QUrl>{QUrl::fromLocalFile(files[0])});
        checkCardSheet(XlsxContent(files[0]), fields, {cards[2], cards[1], cards[0]});
        QCOMPARE(list->recNo(), 1); // the current card stays
        QCOMPARE(frmMain->DBGrid1->currentIndex().row(), 0);
    }

    void emptyList() {
        insertCard(m_program->sql(), "客户", "张三", "男");
        m_program->start();
        filterByName("没有这个人");
        QCOMPARE(frmMain->cardList->recordCount(), 0);
        exportWithDefaults();
        const QStringList files = exportedFiles();
        QCOMPARE(files.size(), 1);
        checkCardSheet(XlsxContent(files[0]), captionsOf(TickedAtStart), {});
    }

    void filteredAndSortedList() {
        DirectSql& sql = m_program->sql();
        const QStringList names = {"张三", "李三", "赵六", "王三"};
        QList<Card> cards;
        for (const QString& name : names) {
            Card card{{"姓名", name}, {"分类", "客户"}, {"性别", "男"}, {"固定电话", "0" + name}};
            insertFullCard(sql, card);
            cards << card;
        }
        m_program->start();
        filterByName("三");
        clickTitle("姓名"); // ascending by pinyin
        exportWithDefaults();
        const QStringList files = exportedFiles();
        QCOMPARE(files.size(), 1);
        checkCardSheet(XlsxContent(files[0]), captionsOf(TickedAtStart),
                       {cards[1], cards[3], cards[0]});
        // The current card stays: the newest, wherever the sort put it.
        QCOMPARE(frmMain->cardList->recNo(), 2);
        QCOMPARE(frmMain->cardList->fieldByName("姓名"), QStringLiteral("王三"));
    }

    void severalExportsLeaveSeveralFiles() {
        insertFullCard(m_program->sql(), fixtureCards()[1]);
        m_program->start();
        whenModalShown([](QWidget* window) {
            auto* exportButton = window->findChild<QPushButton*>("BitBtn2");
            QTest::mouseClick(exportButton, Qt::LeftButton);
            QTest::mouseClick(exportButton, Qt::LeftButton);
            QTest::mouseClick(exportButton, Qt::LeftButton);
            window->close();
        });
        clickExcel();
        const QStringList files = exportedFiles();
        QCOMPARE(files.size(), 3);
        QCOMPARE(Messages::opened().size(), 3);
        for (const QString& file : files) {
            checkCardSheet(XlsxContent(file), captionsOf(TickedAtStart), {fixtureCards()[1]});
        }
    }

    void withoutASpreadsheetProgramTheUserIsToldWhereTheFileIs() {
        m_program->start();
        Messages::setExternalOpenResult(false);
        exportWithDefaults();
        const QStringList files = exportedFiles();
        QCOMPARE(files.size(), 1);
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown()[0].kind, Messages::Kind::Plain);
        QVERIFY2(Messages::shown()[0].text.contains(files[0]),
                 qPrintable(Messages::shown()[0].text));
    }

    void aFolderThatCannotBeWrittenIsReported() {
        insertCard(m_program->sql(), "客户", "张三", "男");
        insertCard(m_program->sql(), "客户", "李四", "男");
        QFile blocker(m_exports->filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        setExportFolder(m_exports->filePath("file/导出")); // under a file: cannot be made
        m_program->start();
        bool stayedOpen = false;
        whenModalShown([&stayedOpen](QWidget* window) {
            QTest::mouseClick(window->findChild<QPushButton*>("BitBtn2"), Qt::LeftButton);
            stayedOpen = window->isVisible();
            window->close();
        });
        clickExcel();
        QVERIFY(stayedOpen);
        // The usual words, then the real cause with the folder.
        QCOMPARE(lastErrorText(),
                 QStringLiteral("无法创建Xls文件，请确认是否安装EXCEL.\n无法创建文件夹 ") +
                     QDir::toNativeSeparators(m_exports->filePath("file/导出")) + u'.');
        QVERIFY(Messages::opened().isEmpty());
        QCOMPARE(frmMain->cardList->recNo(), 1); // the list was not walked
    }

    void aClosedListIsReportedAndLeavesNoFile() {
        m_program->start();
        frmMain->cardList->close();
        exportWithDefaults();
        QCOMPARE(lastErrorText(), QStringLiteral("无法在已关闭的数据集上执行此操作."));
        QVERIFY(exportedFiles().isEmpty());
        QVERIFY(Messages::opened().isEmpty());
    }

    // A list of more than 2,000 cards shows the progress dialog; 取消 while the rows are
    // written ends the export without a file or a message. A shorter list shows none.
    void progressAndCancel_data() {
        QTest::addColumn<int>("cards");
        QTest::addColumn<QString>("stage"); // when 取消 is pressed; empty: never
        QTest::newRow("cancelled") << 2001 << QStringLiteral("正在导出");
        QTest::newRow("a long list") << 2001 << QString();
        QTest::newRow("a short list") << 2000 << QString();
    }
    void progressAndCancel() {
        QFETCH(int, cards);
        QFETCH(QString, stage);
        m_program->sql().exec(
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                           "WHERE i < %1) INSERT INTO D_B (theDate, theType, BName, BSex, theDel) "
                           "SELECT '2008-03-07', '客户', '卡' || i, '男', '否' FROM n")
                .arg(cards));
        m_program->start();
        QVERIFY(frmMain->cardList->waitForAllRows()); // the list's own progress aside
        bool dialogShown = false;
        WorkProgress::setTestHook(0, [&](int done) {
            QProgressDialog* dialog = WorkProgress::dialog();
            dialogShown = dialogShown || dialog;
            if (dialog && done == 100 && !stage.isEmpty() &&
                dialog->labelText().startsWith(stage)) {
                QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
            }
        });
        exportWithDefaults();
        WorkProgress::clearTestHook();

        QCOMPARE(dialogShown, cards > ProgressRows);
        QVERIFY2(Messages::shown().isEmpty(), qPrintable(lastErrorText()));
        QCOMPARE(exportedFiles().size(), stage.isEmpty() ? 1 : 0);
        QCOMPARE(Messages::opened().size(), stage.isEmpty() ? 1 : 0);
    }

    void theDocumentsFolderByDefault() {
        setExportFolder(QString());
        QCOMPARE(exportFolder(),
                 QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    }

    // The file as a real spreadsheet program reads it: every value as text, as stored.
    void opensInASpreadsheetProgram() {
        const QString office = officeProgram();
        if (office.isEmpty()) {
            QSKIP("LibreOffice (soffice) is not installed");
        }
        const QList<Card> cards = fixtureCards();
        for (const Card& card : cards) {
            insertFullCard(m_program->sql(), card);
        }
        m_program->start();
        whenModalShown([](QWidget* window) {
            for (int k = 1; k <= 25; ++k) {
                if (!TickedAtStart.contains(k)) {
                    QTest::mouseClick(checkBox(window, k), Qt::LeftButton);
                }
            }
            QTest::mouseClick(window->findChild<QPushButton*>("BitBtn2"), Qt::LeftButton);
            window->close();
        });
        clickExcel();
        const QStringList files = exportedFiles();
        QCOMPARE(files.size(), 1);

        QString csv;
        QVERIFY(convertWithOffice(office, files[0], "csv:Text - txt - csv (StarCalc):44,34,76",
                                  m_exports->filePath("csv"), &csv));
        QStringList expected = {"名片表" + QString(25, u','), "序号," + Captions.join(',')};
        int number = 1;
        for (const Card& card : {cards[2], cards[1], cards[0]}) {
            QStringList line{QString::number(number++)};
            for (const QString& caption : Captions) {
                QString value = card.value(caption);
                if (value.contains(u',') || value.contains(u'"')) {
                    value = '"' + value.replace("\"", "\"\"") + '"';
                }
                line << value;
            }
            expected << line.join(',');
        }
        QCOMPARE(csv.trimmed().split('\n'), expected);
    }

    // The program's own export imports again: its title row is no header, and every field
    // exported with 全选 comes back as it was. The fields chosen are ticked again next time.
    void theExportImportsAgainAndItsFieldsAreKept() {
        DirectSql& sql = m_program->sql();
        for (const Card& card : fixtureCards()) {
            insertFullCard(sql, card);
        }
        const QStringList before = storedCards(sql);
        m_program->start();
        whenModalShown([](QWidget* window) {
            QTest::mouseClick(button(window, "SelectAll"), Qt::LeftButton);
            QTest::mouseClick(button(window, "BitBtn2"), Qt::LeftButton);
            window->close();
        });
        clickExcel();
        QStringList tickedAgain;
        whenModalShown([&tickedAgain](QWidget* window) {
            for (int box = 1; box <= 25; ++box) {
                if (checkBox(window, box)->isChecked()) {
                    tickedAgain << checkBox(window, box)->text();
                }
            }
            window->close();
        });
        clickExcel();
        QCOMPARE(tickedAgain, Captions);

        QCOMPARE(exportedFiles().size(), 1);
        sql.exec("DELETE FROM D_B");
        whenModalShown([this](QWidget* modal) {
            auto* window = qobject_cast<TfrmInData*>(modal);
            QVERIFY(window);
            Messages::queueFileName(exportedFiles().first());
            QTest::mouseClick(window->openButton, Qt::LeftButton);
            QTest::mouseClick(window->importButton, Qt::LeftButton);
            QTest::mouseClick(window->exitButton, Qt::LeftButton);
        });
        QTest::mouseClick(frmMain->findChild<QToolButton*>("SpeedButton7"), Qt::LeftButton);
        QCOMPARE(lastErrorText(), QString());
        QCOMPARE(storedCards(sql), before);
    }

private:
    static QCheckBox* checkBox(QWidget* window, int number) {
        return window->findChild<QCheckBox*>(QStringLiteral("CheckBox%1").arg(number));
    }
    void clickExcel() { QTest::mouseClick(button(frmMain, "BitBtn2"), Qt::LeftButton); }
    static QPushButton* button(QWidget* window, const char* name) {
        return window->findChild<QPushButton*>(name);
    }
    void exportWithDefaults() {
        whenModalShown([](QWidget* window) {
            QTest::mouseClick(button(window, "BitBtn2"), Qt::LeftButton);
            window->close();
        });
        clickExcel();
    }
    void filterByName(const QString& name) {
        auto* edit = frmMain->findChild<QLineEdit*>("Edit3");
        edit->setFocus();
        typeText(edit, name);
        QTest::mouseClick(button(frmMain, "BitBtn1"), Qt::LeftButton);
    }
    void clickTitle(const QString& title) {
        QHeaderView* titles = frmMain->DBGrid1->horizontalHeader();
        const int section = frmMain->cardList->result()->columnIndex(title);
        const int x = titles->sectionViewportPosition(section) + titles->sectionSize(section) / 2;
        QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, QPoint(x, titles->height() / 2));
    }
    QStringList exportedFiles() const {
        QStringList files;
        const QDir folder(exportFolder());
        for (const QString& name : folder.entryList({"*"}, QDir::Files, QDir::Name)) {
            files << folder.filePath(name);
        }
        return files;
    }

    std::unique_ptr<ProgramFixture> m_program;
    std::unique_ptr<QTemporaryDir> m_exports;
};

QTEST_MAIN(TestCardExport)
#include "tst_export.moc"
