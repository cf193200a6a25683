// The card import as a user runs it from the main window, through the real card database:
// opening a workbook, the rows shown, the import with its duplicate check, and its failures.
// One test kills an importing copy of the program halfway and checks the database.

#include "db/connection.h"
#include "db/connectionsettings.h"
#include "db/engineerror.h"
#include "db/query.h"
#include "testsupport.h"
#include "ui/common/backgroundtask.h"
#include "ui/common/datagrid.h"
#include "ui/common/messages.h"
#include "ui/exchange/importwindow.h"
#include "ui/main/mainwindow.h"
#include "workbookfiles.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <csignal>
#include <functional>

namespace {

const QString Fixtures = QStringLiteral(ORVANE_FIXTURES);

// The column titles of a card, in the order the card list shows them.
const QStringList CardHeaders = {
    "分类",     "姓名",     "性别",     "固定电话", "移动电话", "电子邮箱", "QQ号码",   "MSN号码",
    "阿里旺旺", "描述",     "省份",     "城市",     "单位名称", "所在部门", "担任职务", "单位地址",
    "单位电话", "单位传真", "邮政编码", "单位网站", "家庭地址", "家庭电话", "家属姓名", "补充信息"};

// The card columns in the same order.
const QString CardColumns = QStringLiteral(
    "theType,BName,BSex,BPho,BMob,BMail,BQQ,BMSN,BWW,BDes,DArea,DCity,DName,DPart,DJob,DAdd,"
    "DPho,DFax,DPos,DWWW,FAdd,FPho,FPro,FDes");

const QString Success = QStringLiteral("数据导入 保存成功！");

// The report of a run: the cards added and the rows skipped, by reason.
QString report(int added, int duplicates = 0, int nameless = 0) {
    QString text = Success + QStringLiteral("\n新增名片 %1 张，跳过重复 %2 行，跳过无姓名 %3 行。")
                                 .arg(added)
                                 .arg(duplicates)
                                 .arg(nameless);
    if (duplicates + nameless > 0) {
        text += QStringLiteral("\n未导入的行列在窗口中。");
    }
    return text;
}

// A card row in header order: category, name and sex, the other fields empty.
QStringList card(const QString& type, const QString& name, const QString& sex) {
    QStringList row(CardHeaders.size());
    row[0] = type;
    row[1] = name;
    row[2] = sex;
    return row;
}

// The cards in the database, oldest first, as "category/name/sex".
QStringList storedCards(DirectSql& sql) {
    QStringList cards;
    const int count = sql.count(QStringLiteral("select ID from D_B"));
    for (int i = 0; i < count; ++i) {
        cards << sql.scalar(QStringLiteral("select theType || '/' || BName || '/' || BSex "
                                           "from D_B order by ID limit 1 offset %1")
                                .arg(i));
    }
    return cards;
}

// Every column of one card, by the card's key.
QStringList storedRow(DirectSql& sql, const QString& id) {
    QStringList values;
    for (const QString& column :
         (QStringLiteral("theDate,") + CardColumns + QStringLiteral(",theDel")).split(u',')) {
        values << sql.scalar(QStringLiteral("select %1 from D_B where ID=%2").arg(column, id));
    }
    return values;
}

int messagesOf(Messages::Kind kind) {
    int n = 0;
    for (const Messages::Shown& shown : Messages::shown()) {
        n += shown.kind == kind ? 1 : 0;
    }
    return n;
}

} // namespace

class TestImport : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_program = std::make_unique<ProgramFixture>();
        QVERIFY(m_dir.isValid());
    }
    void cleanup() { m_program.reset(); }

    // Both the tool button and the pop-up menu item open a fresh window laid out as drawn;
    // Esc does not close it.
    void window_data() {
        QTest::addColumn<bool>("viaMenu");
        QTest::newRow("tool button") << false;
        QTest::newRow("menu item") << true;
    }
    void window() {
        QFETCH(bool, viaMenu);
        m_program->start();
        bool checked = false;
        runWindow(
            [&](TfrmInData* w) {
                QCOMPARE(w->windowTitle(), QStringLiteral("导入名片"));
                QCOMPARE(w->size(), QSize(990 - 8, 390 - 8 - 26));
                QVERIFY(!(w->windowFlags() & Qt::WindowMinMaxButtonsHint));
                QCOMPARE(w->GroupBox1->title(), QStringLiteral("打开EXCEL文件"));
                QCOMPARE(w->GroupBox1->geometry(), QRect(16, 8, 945, 57));
                QCOMPARE(w->Label1->text(), QStringLiteral("打开的EXCEL文件的底部一定是Sheet1"));
                QCOMPARE(w->Label1->pos(), QPoint(8, 24));
                QCOMPARE(w->openButton->text(), QStringLiteral("打开"));
                QCOMPARE(w->openButton->geometry(), QRect(840, 20, 75, 25));
                QCOMPARE(w->GroupBox2->title(), QStringLiteral("EXCEL数据"));
                QCOMPARE(w->GroupBox2->geometry(), QRect(16, 72, 945, 225));
                QCOMPARE(w->DBGrid1->geometry(), QRect(8, 16, 929, 201));
                QVERIFY(!w->DBGrid1->model() || w->DBGrid1->model()->columnCount() == 0);
                QCOMPARE(w->importButton->text(), QStringLiteral("导入"));
                QCOMPARE(w->importButton->geometry(), QRect(760, 310, 75, 25));
                QCOMPARE(w->exitButton->text(), QStringLiteral("退出"));
                QCOMPARE(w->exitButton->geometry(), QRect(864, 310, 75, 25));
                QTest::keyClick(w, Qt::Key_Escape); // as 退出
                QVERIFY(!w->isVisible());
                checked = true;
            },
            viaMenu);
        QVERIFY(checked);
    }

    // The dialog's first filter shows both workbook formats, so the shipped template and
    // every export show without switching the filter.
    void openDialogFilter() {
        m_program->start();
        runWindow([&](TfrmInData* w) { openWorkbook(w, Fixtures + QStringLiteral("cards.xlsx")); });
        QCOMPARE(Messages::lastFileFilter().section(QStringLiteral(";;"), 0, 0),
                 QStringLiteral("Excel文件(*.xls *.xlsx)"));
    }

    // Workbooks written by a spreadsheet program, with extra columns, the captions in another
    // order and letter case, numbers and dates: every named row that is not a repeat becomes
    // a live card of today, with its values in their columns.
    void importsWorkbook_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("xls") << QStringLiteral("cards.xls");
        QTest::newRow("xlsx") << QStringLiteral("cards.xlsx");
    }
    void importsWorkbook() {
        QFETCH(QString, file);
        m_program->start();
        runWindow([&](TfrmInData* w) {
            openWorkbook(w, Fixtures + file);
            QCOMPARE(w->GroupBox2->title(), QStringLiteral("EXCEL数据  共有 5 条数据"));
            QAbstractItemModel* model = w->DBGrid1->model();
            QCOMPARE(model->rowCount(), 5);
            QCOMPARE(model->columnCount(), 27);
            QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("序号"));
            QCOMPARE(model->data(model->index(0, 5)).toString(), QStringLiteral("13800138000"));
            for (int c = 0; c < 24; ++c) {
                QCOMPARE(w->DBGrid1->columnWidth(c), 80);
            }
            QCOMPARE(w->DBGrid1->columnWidth(24), DataGrid::DefaultColumnWidth);
            QVERIFY(lastErrorText().isEmpty());
            // The rows keep the sheet's order: a title click does not sort them.
            QHeaderView* titles = w->DBGrid1->horizontalHeader();
            QTest::mouseClick(titles->viewport(), Qt::LeftButton, {},
                              QPoint(titles->sectionViewportPosition(1) + 10, 5));
            QVERIFY(w->sheetRows->sort().isEmpty());

            QTest::mouseClick(w->importButton, Qt::LeftButton);
            // The report names both kinds of skipped rows, and the window stays on them.
            QCOMPARE(Messages::shown().last().text,
                     QStringLiteral("数据导入 保存成功！\n新增名片 3 张，跳过重复 1 行，"
                                    "跳过无姓名 1 行。\n未导入的行列在窗口中。"));
            QVERIFY(w->isVisible());
            QCOMPARE(w->GroupBox2->title(), QStringLiteral("未导入的行  共有 2 条数据"));
            QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("行号"));
            QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("未导入原因"));
            QCOMPARE(model->rowCount(), 2);
            QCOMPARE(model->data(model->index(0, 1)).toString() + u'/' +
                         model->data(model->index(1, 1)).toString(),
                     QStringLiteral("没有姓名/重复"));
            w->close();
        });
        QCOMPARE(Messages::shown().last().kind, Messages::Kind::Plain);
        DirectSql& sql = m_program->sql();
        QCOMPARE(storedCards(sql), QStringList({"客户/张三/男", "同事/李四/女", "朋友/王五/男"}));
        const QString first = sql.scalar(QStringLiteral("select min(ID) from D_B"));
        QCOMPARE(storedRow(sql, first), QStringList({"2008-03-07",
                                                     "客户",
                                                     "张三",
                                                     "男",
                                                     "010-62345678",
                                                     "13800138000",
                                                     "zhang@example.com",
                                                     "123456789",
                                                     "zhang@hotmail.com",
                                                     "zhangww",
                                                     "O'Neil 的朋友",
                                                     "北京",
                                                     "北京",
                                                     "某某科技",
                                                     "销售部",
                                                     "经理",
                                                     "中关村大街1号",
                                                     "010-62345679",
                                                     "010-62345670",
                                                     "100080",
                                                     "www.example.com",
                                                     "家庭住址",
                                                     "010-61234567",
                                                     "李梅",
                                                     "1234.5",
                                                     "否"}));
        const QString second = QString::number(first.toInt() + 1);
        QCOMPARE(storedRow(sql, second).at(10), QStringLiteral("0.1"));        // BDes
        QCOMPARE(storedRow(sql, second).at(24), QStringLiteral("2008-03-07")); // FDes
        QCOMPARE(frmMain->cardList->recordCount(), 3);
        QCOMPARE(frmMain->findChild<QLabel*>("Label1")->text(), QStringLiteral("名片数量：3"));
    }

    // The duplicate check: empty names and repeats of live cards are skipped, also repeats of
    // a card imported earlier in the same run; deleted cards block nothing. The report counts
    // both kinds, and the window stays open on the skipped rows with their reasons.
    void duplicates_data() {
        QTest::addColumn<QList<QStringList>>("existing"); // category, name, sex, live flag
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::addColumn<QStringList>("imported");
        QTest::addColumn<QStringList>("skippedRows"); // number/reason/name
        const QStringList zhang = {"客户", "张三", "男"};
        QTest::newRow("an empty name")
            << QList<QStringList>{} << QList<QStringList>{{"客户", "", "男"}, zhang}
            << QStringList{"客户/张三/男"} << QStringList{"1/没有姓名/"};
        QTest::newRow("a live card")
            << QList<QStringList>{zhang + QStringList{"否"}} << QList<QStringList>{zhang}
            << QStringList{} << QStringList{"1/重复/张三"};
        QTest::newRow("a deleted card")
            << QList<QStringList>{zhang + QStringList{"是"}} << QList<QStringList>{zhang}
            << QStringList{"客户/张三/男"} << QStringList{};
        QTest::newRow("another category or sex")
            << QList<QStringList>{zhang + QStringList{"否"}}
            << QList<QStringList>{{"同事", "张三", "男"}, {"客户", "张三", "女"}}
            << QStringList{"同事/张三/男", "客户/张三/女"} << QStringList{};
        QTest::newRow("a row repeated in the sheet")
            << QList<QStringList>{} << QList<QStringList>{zhang, {"客户", "李四", "女"}, zhang}
            << QStringList{"客户/张三/男", "客户/李四/女"} << QStringList{"3/重复/张三"};
        QTest::newRow("a repeated row of a live card")
            << QList<QStringList>{zhang + QStringList{"否"}} << QList<QStringList>{zhang, zhang}
            << QStringList{} << QStringList{"1/重复/张三", "2/重复/张三"};
        QTest::newRow("every row skipped")
            << QList<QStringList>{} << QList<QStringList>{{"", "", ""}, {"客户", "", ""}}
            << QStringList{} << QStringList{"1/没有姓名/", "2/没有姓名/"};
    }
    void duplicates() {
        QFETCH(QList<QStringList>, existing);
        QFETCH(QList<QStringList>, rows);
        QFETCH(QStringList, imported);
        DirectSql& sql = m_program->sql();
        QStringList before;
        for (const QStringList& c : existing) {
            const QString id = insertCard(sql, c[0], c[1], c[2], QStringLiteral("2001-01-01"));
            sql.exec(QStringLiteral("update D_B set theDel='%1' where ID=%2").arg(c[3], id));
            before << c[0] + u'/' + c[1] + u'/' + c[2];
        }
        QList<QStringList> sheet;
        for (const QStringList& r : rows) {
            sheet << card(r[0], r[1], r[2]);
        }
        const QString path = m_dir.filePath(QStringLiteral("cards.xlsx"));
        writeSheet(path, CardHeaders, sheet);
        m_program->start();
        QStringList skipped; // as the window lists them: number, reason, name
        int nameless = 0;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            nameless += rows[i][1].isEmpty() ? 1 : 0;
        }
        const int duplicates = int(rows.size() - imported.size()) - nameless;
        runWindow([&](TfrmInData* w) {
            openWorkbook(w, path);
            QTest::mouseClick(w->importButton, Qt::LeftButton);
            QCOMPARE(w->isVisible(), duplicates + nameless > 0);
            if (w->isVisible()) {
                QCOMPARE(w->GroupBox2->title(),
                         QStringLiteral("未导入的行  共有 %1 条数据").arg(duplicates + nameless));
                for (w->sheetRows->first(); !w->sheetRows->eof(); w->sheetRows->next()) {
                    skipped << w->sheetRows->fieldByName(QStringLiteral("行号")) + u'/' +
                                   w->sheetRows->fieldByName(QStringLiteral("未导入原因")) + u'/' +
                                   w->sheetRows->fieldByName(QStringLiteral("姓名"));
                }
                w->close();
            }
        });
        QCOMPARE(storedCards(sql), before + imported);
        QCOMPARE(messagesOf(Messages::Kind::Plain), 1);
        QCOMPARE(Messages::shown().last().text, report(int(imported.size()), duplicates, nameless));
        QCOMPARE(messagesOf(Messages::Kind::Error), 0);
        QFETCH(QStringList, skippedRows);
        QCOMPARE(skipped, skippedRows);
    }

    // Formulas in every card column, as written by spreadsheet programs: each imports the
    // result stored with it, in the same form from both formats. LibreOffice's own .xls
    // export stores no text results, so the .xls is Gnumeric's.
    void importsFormulaResults_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("xlsx") << QStringLiteral("lo/formulas.xlsx");
        QTest::newRow("xls") << QStringLiteral("lo/formulas-gnumeric.xls");
    }
    void importsFormulaResults() {
        QFETCH(QString, file);
        importThroughWindow(Fixtures + file, 2);
        DirectSql& sql = m_program->sql();
        const QString first = sql.scalar(QStringLiteral("select min(ID) from D_B"));
        const QStringList stored = storedRow(sql, first);
        QCOMPARE(stored.mid(1, 24),
                 QStringList({"客户",        "张三",
                              "男",          "010-62345678",
                              "13800138001", "zhang@example.com",
                              "123456789",   "TRUE",
                              "#DIV/0!",     "",
                              "#N/A",        "2008-03-07",
                              "张三的公司",  "FALSE",
                              "0.3",         QString(300, u'长') + u'x',
                              "14:30:05",    "#NUM!",
                              "100080",      "www.example.com",
                              "#VALUE!",     "123456789012346000",
                              "李四",        QStringLiteral("长文本abc").repeated(1000)}));
        const QStringList second = storedRow(sql, QString::number(first.toInt() + 1));
        QCOMPARE(second.mid(1, 5), QStringList({"同事", "李四", "女", "", "13800138002"}));
        QCOMPARE(second.at(10), QStringLiteral("5"));                   // BDes
        QCOMPARE(second.at(12), QStringLiteral("2008-03-07 14:30:00")); // DCity
        QCOMPARE(second.at(24), QStringLiteral("a\nb"));                // FDes
    }

    // Texts of 8,000 to 32,767 characters, Chinese and Latin runs mixed, stored whole from
    // both formats (in the .xls they run over several records).
    void importsLongTexts_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("xls") << QStringLiteral("lo/longtexts.xls");
        QTest::newRow("xlsx") << QStringLiteral("lo/longtexts.xlsx");
    }
    void importsLongTexts() {
        QFETCH(QString, file);
        importThroughWindow(Fixtures + file, 4);
        DirectSql& sql = m_program->sql();
        const int first = sql.scalar(QStringLiteral("select min(ID) from D_B")).toInt();
        const QList<int> lengths = {8000, 9000, 20000, 32767};
        for (int i = 0; i < lengths.size(); ++i) {
            const QStringList stored = storedRow(sql, QString::number(first + i));
            QCOMPARE(stored.at(2), QStringLiteral("长文本%1").arg(lengths[i]));
            const QString latin =
                QStringLiteral("Latin only ").repeated(3000).left(lengths[i] - 1) +
                QString::number(i);
            QCOMPARE(stored.at(10), latin);                     // BDes
            QCOMPARE(stored.at(16), mixedText(300 + i, i + 5)); // DAdd
            QVERIFY(stored.at(24) == mixedText(lengths[i], i)); // FDes
        }
    }

    // A sheet laid out as the card-list export writes it, title row removed: its number and
    // entry-date columns are ignored; the cards get today's date.
    void exportLayout() {
        QStringList row = {"1", "2001-05-06"};
        for (const QString& header : CardHeaders) {
            row << header + QStringLiteral("值");
        }
        const QString path = m_dir.filePath(QStringLiteral("export.xlsx"));
        writeSheet(path, QStringList{"序号", "录入日期"} + CardHeaders, {row});
        m_program->start();
        runWindow([&](TfrmInData* w) {
            openWorkbook(w, path);
            QTest::mouseClick(w->importButton, Qt::LeftButton);
        });
        DirectSql& sql = m_program->sql();
        QStringList expected = {"2008-03-07"};
        expected << row.mid(2) << QStringLiteral("否");
        QCOMPARE(storedRow(sql, sql.scalar(QStringLiteral("select max(ID) from D_B"))), expected);
    }

    // The template shipped beside the program imports its example card as it stands.
    void shippedTemplate() {
        m_program->start();
        runWindow([&](TfrmInData* w) {
            openWorkbook(w, QStringLiteral(ORVANE_TEMPLATE));
            QCOMPARE(w->GroupBox2->title(), QStringLiteral("EXCEL数据  共有 1 条数据"));
            QTest::mouseClick(w->importButton, Qt::LeftButton);
        });
        DirectSql& sql = m_program->sql();
        QCOMPARE(messagesOf(Messages::Kind::Error), 0);
        const QStringList stored = storedRow(sql, sql.scalar("select max(ID) from D_B"));
        QCOMPARE(stored.mid(1, 3), QStringList({"客户", "张伟", "男"}));
        QCOMPARE(stored.at(5), QStringLiteral("13800138000"));
    }

    // Values reach the card exactly as the sheet holds them: quotes, statement text, blanks,
    // a leading byte order mark.
    void valuesKeptVerbatim() {
        QStringList row;
        for (int c = 0; c < CardHeaders.size(); ++c) {
            row << QStringLiteral("O'Neil'); delete from D_B; -- %1 ''").arg(c);
        }
        row[1] = QStringLiteral(" 张 '三 ");
        row[3] = QChar(0xFEFF) + QStringLiteral("010-1234"); // a leading byte order mark
        const QString path = m_dir.filePath(QStringLiteral("quotes.xlsx"));
        writeSheet(path, CardHeaders, {row});
        m_program->start();
        runWindow([&](TfrmInData* w) {
            openWorkbook(w, path);
            QTest::mouseClick(w->importButton, Qt::LeftButton);
        });
        DirectSql& sql = m_program->sql();
        QCOMPARE(sql.count(QStringLiteral("select ID from D_B")), 1);
        const QStringList stored = storedRow(sql, sql.scalar("select max(ID) from D_B"));
        QCOMPARE(stored.mid(1, 24), row);
    }

    // A header row without rows: the count 0, and "导入" reports success and closes; the main
    // list shows a card another program added meanwhile.
    void headerOnly() {
        const QString path = m_dir.filePath(QStringLiteral("empty.xlsx"));
        writeSheet(path, CardHeaders, {});
        m_program->start();
        insertCard(m_program->sql(), "客户", "后来的", "男");
        runWindow([&](TfrmInData* w) {
            openWorkbook(w, path);
            QCOMPARE(w->GroupBox2->title(), QStringLiteral("EXCEL数据  共有 0 条数据"));
            QTest::mouseClick(w->importButton, Qt::LeftButton);
            QVERIFY(!w->isVisible());
        });
        QCOMPARE(Messages::shown().last().text, report(0));
        QTRY_COMPARE(frmMain->cardList->recordCount(), 1);
        QCOMPARE(m_program->sql().count(QStringLiteral("select ID from D_B")), 1);
    }

    // A missing caption stops the import before its first insert and names the caption; the
    // window stays open, nothing is said to succeed, the main list is not refreshed.
    void missingHeader_data() {
        QTest::addColumn<QStringList>("headers");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("columns");
        QStringList withoutMobile = CardHeaders;
        withoutMobile.removeOne(QStringLiteral("移动电话"));
        withoutMobile << QStringLiteral("移动电话号码");
        QTest::newRow("one caption missing") << withoutMobile << "找不到字段“移动电话”." << 24;
        QStringList withoutTwo = CardHeaders;
        withoutTwo.removeOne(QStringLiteral("补充信息"));
        withoutTwo.removeOne(QStringLiteral("性别"));
        withoutTwo << QStringLiteral("序号") << QStringLiteral("备注");
        QTest::newRow("the first missing in card order") << withoutTwo << "找不到字段“性别”." << 24;
        QStringList partOfAName = CardHeaders;
        partOfAName[1] = QStringLiteral("姓名（必填）");
        QTest::newRow("a caption only part of a title") << partOfAName << "找不到字段“姓名”." << 24;
    }
    void missingHeader() {
        QFETCH(QStringList, headers);
        QFETCH(QString, error);
        QFETCH(int, columns);
        QList<QStringList> rows(2, QStringList(headers.size(), QStringLiteral("x")));
        const QString path = m_dir.filePath(QStringLiteral("missing.xlsx"));
        writeSheet(path, headers, rows);
        m_program->start();
        insertCard(m_program->sql(), "客户", "后来的", "男");
        runWindow([&](TfrmInData* w) {
            openWorkbook(w, path);
            QCOMPARE(w->DBGrid1->model()->columnCount(), columns);
            QCOMPARE(w->GroupBox2->title(), QStringLiteral("EXCEL数据  共有 2 条数据"));
            QTest::mouseClick(w->importButton, Qt::LeftButton);
            QVERIFY(w->isVisible());
        });
        QCOMPARE(lastErrorText(), error);
        QCOMPARE(messagesOf(Messages::Kind::Plain), 0);
        QCOMPARE(m_program->sql().count(QStringLiteral("select ID from D_B")), 1);
        QTRY_COMPARE(frmMain->cardList->recordCount(), 1); // the other program's card alone
    }

    // Fewer than 24 columns: the grid shows the sheet, the error names the cause, the caption
    // stays; importing it then fails on the first caption it lacks.
    void fewerColumns() {
        const QString path = m_dir.filePath(QStringLiteral("narrow.xlsx"));
        writeSheet(path, {"分类", "姓名", "性别"}, {{"客户", "张三", "男"}});
        m_program->start();
        runWindow([&](TfrmInData* w) {
            openWorkbook(w, path);
            QCOMPARE(lastErrorText(),
                     QStringLiteral("工作表 Sheet1 只有 3 列，少于名片的 24 个字段."));
            QCOMPARE(w->GroupBox2->title(), QStringLiteral("EXCEL数据"));
            QCOMPARE(w->DBGrid1->model()->columnCount(), 3);
            QCOMPARE(w->DBGrid1->model()->rowCount(), 1);
            QTest::mouseClick(w->importButton, Qt::LeftButton);
            QCOMPARE(lastErrorText(), QStringLiteral("找不到字段“固定电话”."));
            QVERIFY(w->isVisible());
        });
        QCOMPARE(m_program->sql().count(QStringLiteral("select ID from D_B")), 0);
    }

    void importBeforeOpening() {
        m_program->start();
        runWindow([&](TfrmInData* w) {
            QTest::mouseClick(w->importButton, Qt::LeftButton);
            QVERIFY(w->isVisible());
        });
        QCOMPARE(lastErrorText(), QStringLiteral("无法在已关闭的数据集上执行此操作."));
        QCOMPARE(messagesOf(Messages::Kind::Plain), 0);
    }

    // A workbook that cannot be read, after one that could: the error says why, the grid
    // shows no rows, the caption keeps the earlier count, and "导入" has nothing to import.
    void unreadableWorkbook_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("error");
        QTest::newRow("no Sheet1") << "nosheet1.xls"
                                   << "工作簿中没有名为 Sheet1 的工作表.";
        QTest::newRow("corrupt") << "corrupt.xls"
                                 << "无法读取文件“%1”：文件已损坏或不完整.";
        QTest::newRow("truncated") << "truncated.xlsx"
                                   << "无法读取文件“%1”：文件已损坏或不完整.";
        QTest::newRow("not a workbook")
            << "notes.xls"
            << "无法读取文件“%1”：它不是 Excel 工作簿（.xls 或 .xlsx）.";
        QTest::newRow("Excel 95") << "lo/values-excel95.xls"
                                  << "无法读取文件“%1”：这是 Excel 95 或更早版本的工作簿，请在电子"
                                     "表格程序中另存为 Excel 97-2003 或 .xlsx 格式后再导入.";
        QTest::newRow("encrypted") << "encrypted.xls"
                                   << "无法读取文件“%1”：工作簿设有密码保护，请在电子表格程序中去"
                                      "掉密码后再导入.";
        QTest::newRow("text formulas without their results (LibreOffice's .xls)")
            << "lo/formulas.xls"
            << "无法读取文件“%1”：单元格 B2 的公式没有把计算结果保存在文件中（LibreOffice 保存的 "
               ".xls "
               "文件会这样），程序不计算公式，无法得到它的值。请在电子表格程序中把工作簿另存为 "
               ".xlsx 后再导入.";
        QTest::newRow("broken XML") << "broken.xlsx"
                                    << "无法读取文件“%1”：文件已损坏或不完整.";
    }
    void unreadableWorkbook() {
        QFETCH(QString, name);
        QFETCH(QString, error);
        QString path = Fixtures + name;
        if (!QFile::exists(path)) {
            path = m_dir.filePath(name);
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            if (name == u"corrupt.xls") {
                QByteArray bytes = fixture("cards.xls");
                for (qsizetype i = 512; i < bytes.size(); i += 7) {
                    bytes[i] = '\xA5';
                }
                file.write(bytes);
            } else if (name == u"truncated.xlsx") {
                file.write(fixture("cards.xlsx").left(5000));
            } else if (name == u"encrypted.xls") {
                file.close();
                QVERIFY(writeCompoundFile(path, "EncryptedPackage", QByteArray(4096, '\x17')));
            } else if (name == u"broken.xlsx") {
                file.close();
                QVERIFY(writeZip(path, {{"xl/workbook.xml", "<workbook><sheets><sheet name="
                                                            "\"Sheet1\"></sheets></workbook>"}}));
            } else {
                file.write("姓名,分类\n");
            }
        }
        m_program->start();
        runWindow([&](TfrmInData* w) {
            openWorkbook(w, Fixtures + QStringLiteral("cards.xls"));
            openWorkbook(w, path);
            QCOMPARE(lastErrorText(),
                     error.contains("%1") ? error.arg(QDir::toNativeSeparators(path)) : error);
            QCOMPARE(w->GroupBox2->title(), QStringLiteral("EXCEL数据  共有 5 条数据"));
            QCOMPARE(w->DBGrid1->model()->rowCount(), 0);
            QTest::mouseClick(w->importButton, Qt::LeftButton);
            QCOMPARE(lastErrorText(), QStringLiteral("无法在已关闭的数据集上执行此操作."));
        });
        QCOMPARE(m_program->sql().count(QStringLiteral("select ID from D_B")), 0);
    }

    // A file name holding ";", a quote or "=" names the whole file, never the neighbouring
    // file that the name's start would name.
    void awkwardFileNames_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "名片 2008.xlsx";
        QTest::newRow("with a semicolon") << "a;b.xlsx";
        QTest::newRow("with a quote and a semicolon") << "a\";b.xlsx";
        QTest::newRow("with an equals sign") << "a=b.xlsx";
    }
    void awkwardFileNames() {
        QFETCH(QString, name);
        const QString path = m_dir.filePath(name);
        writeSheet(path, CardHeaders, {card("客户", "张三", "男")});
        writeSheet(m_dir.filePath(QStringLiteral("a")), CardHeaders,
                   {card("客户", "甲", "男"), card("客户", "乙", "女")});
        m_program->start();
        runWindow([&](TfrmInData* w) {
            openWorkbook(w, path);
            QCOMPARE(w->GroupBox2->title(), QStringLiteral("EXCEL数据  共有 1 条数据"));
        });
        QCOMPARE(messagesOf(Messages::Kind::Error), 0);
    }

    // A second workbook replaces the first; a cancelled dialog changes nothing.
    void reopening() {
        const QString empty = m_dir.filePath(QStringLiteral("empty.xlsx"));
        writeSheet(empty, CardHeaders, {});
        m_program->start();
        runWindow([&](TfrmInData* w) {
            openWorkbook(w, Fixtures + QStringLiteral("cards.xlsx"));
            QTest::mouseClick(w->openButton, Qt::LeftButton); // cancelled: no file queued
            QCOMPARE(w->GroupBox2->title(), QStringLiteral("EXCEL数据  共有 5 条数据"));
            QCOMPARE(w->DBGrid1->model()->rowCount(), 5);
            openWorkbook(w, empty);
            QCOMPARE(w->GroupBox2->title(), QStringLiteral("EXCEL数据  共有 0 条数据"));
            QCOMPARE(w->DBGrid1->model()->rowCount(), 0);
            QCOMPARE(w->DBGrid1->model()->columnCount(), 24);
        });
        QCOMPARE(messagesOf(Messages::Kind::Error), 0);
    }

    // The engine refuses one row: the cards before it stay, the rest are not imported, no
    // success is reported and the window stays open.
    void engineErrorAtARow() {
        DirectSql& sql = m_program->sql();
        sql.exec(QStringLiteral("create trigger refuse before insert on D_B when "
                                "new.BName='坏' begin select raise(abort, '拒绝这张名片'); end"));
        const QString path = m_dir.filePath(QStringLiteral("refused.xlsx"));
        writeSheet(path, CardHeaders,
                   {card("客户", "甲", "男"), card("客户", "乙", "男"), card("客户", "坏", "男"),
                    card("客户", "丁", "男")});
        m_program->start();
        runWindow([&](TfrmInData* w) {
            openWorkbook(w, path);
            QTest::mouseClick(w->importButton, Qt::LeftButton);
            QVERIFY(w->isVisible());
        });
        QVERIFY(lastErrorText().startsWith(QStringLiteral("拒绝这张名片")));
        QCOMPARE(storedCards(sql), QStringList({"客户/甲/男", "客户/乙/男"}));
        QCOMPARE(messagesOf(Messages::Kind::Plain), 0);
        QCOMPARE(frmMain->cardList->recordCount(), 2); // the cards stored, and no others
    }

    // A long import shows its progress; 取消 stops it after the current row, keeps the cards
    // stored so far, refreshes the list and says how many cards were imported. The window
    // stays open.
    void progressAndCancel() {
        constexpr int Rows = 200;
        constexpr int CancelAfter = 40;
        QList<QStringList> rows;
        for (int i = 0; i < Rows; ++i) {
            // One row without a name: skipped, and not counted as imported.
            rows << card(QStringLiteral("客户"), i == 7 ? QString() : QStringLiteral("卡%1").arg(i),
                         QStringLiteral("男"));
        }
        const QString path = m_dir.filePath(QStringLiteral("long.xlsx"));
        writeSheet(path, CardHeaders, rows);
        m_program->start();

        QString progressText;
        bool windowsRepaint = false;
        BackgroundTask::setTestHook(0, [&](int done) {
            QProgressDialog* dialog = BackgroundTask::dialog();
            if (done != CancelAfter || !dialog) {
                return;
            }
            progressText = dialog->labelText();
            windowsRepaint = dialog->isModal() && frmMain->isVisible();
            QPushButton* cancel = nullptr;
            for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
                cancel = button->text() == QStringLiteral("取消") ? button : cancel;
            }
            QVERIFY(cancel);
            QTest::mouseClick(cancel, Qt::LeftButton);
        });
        runWindow([&](TfrmInData* w) {
            openWorkbook(w, path);
            QTest::mouseClick(w->importButton, Qt::LeftButton);
            QVERIFY(w->isVisible());
            QVERIFY(!BackgroundTask::dialog());
        });
        BackgroundTask::clearTestHook();

        // The dialog shows the rows done as of its last repaint.
        QVERIFY2(progressText.startsWith(QStringLiteral("正在导入名片：已完成 ")) &&
                     progressText.endsWith(QStringLiteral("条，共 %1 条").arg(Rows)),
                 qPrintable(progressText));
        QVERIFY(windowsRepaint);
        DirectSql& sql = m_program->sql();
        QStringList expected;
        for (int i = 0; i < CancelAfter; ++i) {
            if (i != 7) {
                expected << QStringLiteral("客户/卡%1/男").arg(i);
            }
        }
        QCOMPARE(storedCards(sql), expected);
        QCOMPARE(Messages::shown().last().kind, Messages::Kind::Plain);
        QCOMPARE(Messages::shown().last().text,
                 QStringLiteral("数据导入已取消，已导入 %1 张名片。").arg(CancelAfter - 1));
        QVERIFY(lastErrorText().isEmpty());
        QCOMPARE(frmMain->cardList->recordCount(), CancelAfter - 1);
    }

    // A copy of the program killed while it imports: the database stays whole and keeps
    // exactly the cards of the rows before the kill.
    void killedHalfway() {
        constexpr int Rows = 20000;
        constexpr int KillAfter = 300;
        QList<QStringList> rows;
        for (int i = 0; i < Rows; ++i) {
            rows << card(QStringLiteral("客户"),
                         QStringLiteral("卡片") + QString::number(i).rightJustified(5, u'0'),
                         QStringLiteral("男"));
        }
        const QString path = m_dir.filePath(QStringLiteral("large.xlsx"));
        writeSheet(path, CardHeaders, rows);

        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ORVANE_IMPORT_CHILD"),
                           m_program->database().folder() + u'|' + path);
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted());
        DirectSql watcher(m_program->database().connectionString());
        int seen = 0;
        while (seen < KillAfter && child.state() == QProcess::Running) {
            QTest::qWait(5);
            try {
                seen = watcher.scalar(QStringLiteral("select count(*) from D_B")).toInt();
            } catch (const EngineError&) {
                // The importing copy kept the file locked past the wait: look again.
            }
        }
        QVERIFY2(child.state() == QProcess::Running, "the import ended before it was killed");
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished());

        DirectSql after(m_program->database().connectionString());
        QCOMPARE(after.scalar(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
        const int kept = after.count(QStringLiteral("select ID from D_B"));
        QVERIFY2(kept >= seen && kept < Rows, qPrintable(QString::number(kept)));
        // The rows kept are the sheet's first rows, each once, in order.
        QCOMPARE(after.scalar(QStringLiteral("select count(distinct BName) from D_B")),
                 QString::number(kept));
        QCOMPARE(after.scalar(QStringLiteral("select max(BName) from D_B")), rows[kept - 1][1]);
    }

private:
    // Opens the import window from the main window and runs actions in it; a window still
    // open afterwards is closed with "退出".
    void runWindow(const std::function<void(TfrmInData*)>& actions, bool viaMenu = false) {
        bool ran = false;
        whenModalShown([&](QWidget* modal) {
            auto* window = qobject_cast<TfrmInData*>(modal);
            if (window) {
                actions(window);
                if (window->isVisible()) {
                    QTest::mouseClick(window->exitButton, Qt::LeftButton);
                }
            }
            ran = true;
        });
        if (viaMenu) {
            frmMain->findChild<QAction*>(QStringLiteral("I1"))->trigger();
        } else {
            QTest::mouseClick(frmMain->findChild<QToolButton*>(QStringLiteral("SpeedButton7")),
                              Qt::LeftButton);
        }
        QVERIFY(ran);
    }

    // Opens the workbook in the import window and imports it, which must succeed.
    void importThroughWindow(const QString& path, int rows) {
        m_program->start();
        runWindow([&](TfrmInData* w) {
            openWorkbook(w, path);
            QCOMPARE(w->GroupBox2->title(), QStringLiteral("EXCEL数据  共有 %1 条数据").arg(rows));
            QTest::mouseClick(w->importButton, Qt::LeftButton);
            QVERIFY(!w->isVisible());
        });
        QCOMPARE(messagesOf(Messages::Kind::Error), 0);
        QCOMPARE(Messages::shown().last().text, report(rows));
        QCOMPARE(m_program->sql().count(QStringLiteral("select ID from D_B")), rows);
    }

    // The long texts of the fixtures (make_fixtures.py): runs of Chinese and of Latin
    // letters of changing lengths.
    static QString mixedText(int length, int seed) {
        const QString chinese = QStringLiteral("名片管理客户单位地址电话号码补充信息长文本测试");
        const QString latin =
            QStringLiteral("The quick brown fox jumps over the lazy dog 0123456789 ");
        QString text;
        for (int i = seed; text.size() < length; ++i) {
            const QString& letters = i % 2 == 0 ? chinese : latin;
            text += (letters.mid(i % letters.size()) + letters).left(3 + (i * 7) % 29);
        }
        return text.left(length);
    }

    static void openWorkbook(TfrmInData* window, const QString& path) {
        Messages::queueFileName(path);
        QTest::mouseClick(window->openButton, Qt::LeftButton);
    }

    static QByteArray fixture(const QString& name) {
        QFile file(Fixtures + name);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }

    std::unique_ptr<ProgramFixture> m_program;
    QTemporaryDir m_dir;
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString child = qEnvironmentVariable("ORVANE_IMPORT_CHILD");
    if (!child.isEmpty()) {
        return runImportProgram(child.section(u'|', 0, 0), child.section(u'|', 1));
    }
    TestImport test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_import.moc"
