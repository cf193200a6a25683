// The card list of the main window through the real engine: start-up, the filters with
// their statements, the counters, the filter kept across refreshes, and hostile values.

#include "db/cardfields.h"
#include "db/cardlist.h"
#include "db/filedialect.h"
#include "db/query.h"
#include "testsupport.h"
#include "ui/common/datagrid.h"
#include "ui/common/lookupcombo.h"
#include "ui/common/messages.h"
#include "ui/main/mainwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

Q_DECLARE_METATYPE(FilterInput)

namespace {
const QString ListHead = QStringLiteral(
    "select ID,theDate as 录入日期,theType as 分类,BName as 姓名,BSex as 性别,BPho as 固定电话,"
    "BMob as 移动电话,BMail as 电子邮箱,BQQ as QQ号码,BMSN as MSN号码,BWW as 阿里旺旺,BDes as 描述,"
    "DArea as 省份,DCity as 城市,DName as 单位名称,DPart as 所在部门,DJob as 担任职务,"
    "DAdd as 单位地址,DPho as 单位电话,DFax as 单位传真,DPos as 邮政编码,DWWW as 单位网站,"
    "FAdd as 家庭地址,FPho as 家庭电话,FPro as 家属姓名,FDes as 补充信息 from D_B Where "
    "(theDel='否') ");
}

class TestCardList : public QObject {
    Q_OBJECT

private slots:
    void init() { m_program = std::make_unique<ProgramFixture>(); }
    void cleanup() { m_program.reset(); }

    void statements_data() {
        QTest::addColumn<FilterInput>("input");
        QTest::addColumn<QString>("clause");
        FilterInput none;
        QTest::newRow("no filter") << none << QString();
        FilterInput date;
        date.byDate = true;
        date.dateFrom = "2008-03-01";
        date.dateTo = "2008-03-31";
        QTest::newRow("date") << date << " AND (theDate Between '2008-03-01' AND '2008-03-31')";
        FilterInput name;
        name.byName = true;
        name.name = "三";
        QTest::newRow("name") << name << " AND (BName Like '%三%')";
        FilterInput all;
        all.byDate = all.byType = all.byName = all.bySex = all.byProvince = true;
        all.dateFrom = "a";
        all.dateTo = "b";
        all.type = "客户";
        all.name = "O'Neil";
        all.sex = "男";
        all.province = "北京";
        QTest::newRow("all, in the fixed order")
            << all
            << " AND (theDate Between 'a' AND 'b') AND (theType = '客户') AND (BName Like "
               "'%O''Neil%') AND (BSex = '男') AND (DArea = '北京')";
    }
    void statements() {
        QFETCH(FilterInput, input);
        QFETCH(QString, clause);
        QCOMPARE(filterClause(fileDialect(), input), clause);
        QCOMPARE(cardListStatement(fileDialect(), clause), ListHead + clause + " Order by ID Desc");
        QCOMPARE(visitCountStatement(clause),
                 "Select count(*) from DList Where did in (select id from D_B Where "
                 "(theDel='否') " +
                     clause + " )");
        QCOMPARE(cardCountStatement(clause),
                 "select count(*) from D_B Where (theDel='否') " + clause);
        // The pages of the list: the newest first, then those below the last key read.
        QCOMPARE(cardPageStatement(fileDialect(), clause, 0, 200),
                 ListHead + clause + " Order by ID Desc Limit 200");
        QCOMPARE(cardPageStatement(fileDialect(), clause, 57, 10000),
                 ListHead + clause + " AND (ID < 57) Order by ID Desc Limit 10000");
    }

    // The program paints its window before it reads the first list: at the first paint the
    // dates are in place and the list and its counters are still empty; then the rest of the
    // start-up runs in its order.
    void windowIsPaintedBeforeTheFirstList() {
        insertCard(m_program->sql(), "客户", "张三", "男");
        m_program->create(TfrmMain::FirstList::AfterFirstPaint);
        struct AtFirstPaint : QObject {
            bool painted = false;
            bool listRead = false;
            QString cards;
            bool eventFilter(QObject*, QEvent* event) override {
                if (event->type() == QEvent::Paint && !painted) {
                    painted = true;
                    listRead = frmMain->cardList->active();
                    cards = frmMain->findChild<QLabel*>("Label1")->text();
                }
                return false;
            }
        } firstPaint;
        frmMain->installEventFilter(&firstPaint);
        QVERIFY(!frmMain->cardList->active());
        QCOMPARE(edit("Edit2")->text(), QStringLiteral("2008-03-07"));
        frmMain->show();
        QTRY_VERIFY(frmMain->startupDone());
        frmMain->removeEventFilter(&firstPaint);

        QVERIFY(firstPaint.painted);
        QVERIFY(!firstPaint.listRead);
        QCOMPARE(firstPaint.cards, QString());
        QCOMPARE(names(), QStringList({"张三"}));
        QCOMPARE(label("Label1"), QStringLiteral("名片数量：1"));
        QCOMPARE(label("Label5"), QStringLiteral("拜访次数：0"));
        QVERIFY(!box("CheckBox1")->isChecked());
        QVERIFY(combo("DBLookupComboBox1")->count() > 0);
        QVERIFY(Messages::shown().isEmpty());
    }

    void startShowsLiveCardsNewestFirst() {
        DirectSql& sql = m_program->sql();
        const QString first = insertCard(sql, "客户", "张三", "男");
        insertCard(sql, "同事", "李四", "女");
        insertVisit(sql, first, "2008-01-01", "电话", "a");
        sql.exec("update D_B set theDel='是' where ID=2");
        insertVisit(sql, "2", "2008-01-01", "电话", "visit of a deleted card");
        insertCard(sql, "朋友", "王五", "男");
        m_program->start();

        QCOMPARE(frmMain->cardList->result()->columnCount(), 2 + int(cardFields().size()));
        QCOMPARE(names(), QStringList({"王五", "张三"}));
        QCOMPARE(frmMain->cardList->recNo(), 1);
        QCOMPARE(label("Label1"), QStringLiteral("名片数量：2"));
        QCOMPARE(label("Label5"), QStringLiteral("拜访次数：1"));
        QVERIFY(!box("CheckBox1")->isChecked());
        QCOMPARE(edit("Edit1")->text(), QStringLiteral("2008-02-07"));
        QCOMPARE(edit("Edit2")->text(), QStringLiteral("2008-03-07"));
        QVERIFY(Messages::shown().isEmpty());

        // Widths by position; the key column is hidden.
        DataGrid* grid = frmMain->DBGrid1;
        QVERIFY(grid->isColumnHidden(0));
        QCOMPARE(grid->columnWidth(3), 100);
        QCOMPARE(grid->columnWidth(11), 200);
        QCOMPARE(grid->columnWidth(14), 150);
        QCOMPARE(grid->columnWidth(1), DataGrid::DefaultColumnWidth);
        QCOMPARE(grid->model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("姓名"));

        // The three drop-downs list their tables.
        QCOMPARE(combo("DBLookupComboBox2")->count(), 2);
        QCOMPARE(combo("DBLookupComboBox3")->count(), 34);
        QCOMPARE(combo("DBLookupComboBox1")->shownText(), QString());
    }

    void filters() {
        DirectSql& sql = m_program->sql();
        const QString a = insertCard(sql, "客户", "张小三", "男", "2008-02-29", "北京");
        const QString b = insertCard(sql, "客户", "李四", "女", "2008-03-01", "上海");
        const QString c = insertCard(sql, "同事", "王三", "男", "2008-03-31", "北京");
        insertCard(sql, "同事", "赵六", "女", "2008-04-01", "北京");
        insertVisit(sql, a, "2008-01-01", "电话", "1");
        insertVisit(sql, b, "2008-01-01", "电话", "2");
        insertVisit(sql, b, "2008-01-02", "上门", "3");
        insertVisit(sql, c, "2008-01-02", "上门", "4");
        m_program->start();

        setText("Edit1", "2008-03-01");
        setText("Edit2", "2008-03-31");
        QVERIFY(box("CheckBox1")->isChecked()); // typing ticks, nothing is applied yet
        QCOMPARE(names().size(), 4);
        query();
        QCOMPARE(names(), QStringList({"王三", "李四"}));
        QCOMPARE(label("Label5"), QStringLiteral("拜访次数：3"));

        untick("CheckBox1");
        choose("DBLookupComboBox1", "客户");
        QVERIFY(box("CheckBox2")->isChecked());
        query();
        QCOMPARE(names(), QStringList({"李四", "张小三"}));

        untick("CheckBox2");
        setText("Edit3", "三");
        query();
        QCOMPARE(names(), QStringList({"王三", "张小三"}));

        untick("CheckBox3");
        choose("DBLookupComboBox2", "女");
        query();
        QCOMPARE(names(), QStringList({"赵六", "李四"}));

        untick("CheckBox4");
        choose("DBLookupComboBox3", "北京");
        query();
        QCOMPARE(names(), QStringList({"赵六", "王三", "张小三"}));
        QCOMPARE(label("Label1"), QStringLiteral("名片数量：3"));
        QCOMPARE(label("Label5"), QStringLiteral("拜访次数：2"));

        // Combined: Beijing colleagues with "三" in the name.
        choose("DBLookupComboBox1", "同事");
        setText("Edit3", "三");
        query();
        QCOMPARE(names(), QStringList({"王三"}));

        // A refresh from elsewhere keeps the filter last applied, whatever the boxes say now.
        untick("CheckBox2");
        untick("CheckBox3");
        untick("CheckBox5");
        frmMain->myRef();
        QCOMPARE(names(), QStringList({"王三"}));
        QCOMPARE(label("Label5"), QStringLiteral("拜访次数：1"));

        // No box ticked: every live card again.
        query();
        QCOMPARE(names().size(), 4);
    }

    void tickingTheCategoryWithoutChoiceFindsEmptyCategories() {
        insertCard(m_program->sql(), "", "无分类", "男");
        insertCard(m_program->sql(), "客户", "有分类", "男");
        m_program->start();
        QTest::mouseClick(box("CheckBox2"), Qt::LeftButton);
        query();
        QCOMPARE(names(), QStringList({"无分类"}));
    }

    void enterRunsTheQuery() {
        insertCard(m_program->sql(), "客户", "张三", "男");
        insertCard(m_program->sql(), "客户", "李四", "男");
        m_program->start();
        edit("Edit3")->setFocus();
        typeText(edit("Edit3"), "李");
        QTest::keyClick(edit("Edit3"), Qt::Key_Return);
        QCOMPARE(names(), QStringList({"李四"}));
    }

    void hostileFilterValues_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("quote") << "O'Neil";
        QTest::newRow("comment") << "x') OR 1=1;--";
        QTest::newRow("backslash") << "a\\'";
        QTest::newRow("unicode") << "𠀋😀";
    }
    void hostileFilterValues() {
        QFETCH(QString, value);
        DirectSql& sql = m_program->sql();
        insertCard(sql, "客户", "plain", "男");
        insertCard(sql, value, value + "x", value, value, value);
        sql.exec("insert into D_Type(theName) values('" + sqlTextForTest(value) + "')");
        sql.exec("insert into D_Sex(theName) values('" + sqlTextForTest(value) + "')");
        sql.exec("insert into D_P(theName) values('" + sqlTextForTest(value) + "')");
        m_program->start();

        setText("Edit1", value);
        setText("Edit2", value);
        query();
        QCOMPARE(names(), QStringList({value + "x"}));
        untick("CheckBox1");
        for (const char* name : {"DBLookupComboBox1", "DBLookupComboBox2", "DBLookupComboBox3"}) {
            choose(name, value);
        }
        setText("Edit3", value);
        query();
        QCOMPARE(names(), QStringList({value + "x"}));
        QVERIFY(lastErrorText().isEmpty());
        QCOMPARE(m_program->sql().count("select ID from D_B"), 2);
    }

    void valueControlsAreNamedByTheirLabels() {
        m_program->start();
        QCOMPARE(edit("Edit1")->accessibleName(), QStringLiteral("录入日期 从"));
        QCOMPARE(edit("Edit2")->accessibleName(), QStringLiteral("录入日期 至"));
        // Named by their check boxes' captions, without the access key and the padding.
        QCOMPARE(edit("Edit3")->accessibleName(), QStringLiteral("姓名"));
        QCOMPARE(box("CheckBox3")->text(), QStringLiteral("姓    名(&N)"));
        QCOMPARE(combo("DBLookupComboBox1")->accessibleName(), QStringLiteral("分类"));
        QCOMPARE(box("CheckBox2")->text(), QStringLiteral("分    类(&L)"));
        QCOMPARE(combo("DBLookupComboBox2")->accessibleName(), QStringLiteral("性别"));
        QCOMPARE(box("CheckBox4")->text(), QStringLiteral("性    别(&X)"));
        QCOMPARE(combo("DBLookupComboBox3")->accessibleName(), QStringLiteral("省份"));
        QCOMPARE(box("CheckBox5")->text(), QStringLiteral("省    份(&P)"));
    }

    void missingDatabaseStart() {
        QVERIFY(QFile::remove(m_program->database().databasePath()));
        m_program->start();
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown().first().kind, Messages::Kind::Error);
        QCOMPARE(Messages::shown().first().caption, QStringLiteral("Orvane名片管理"));
        QVERIFY(lastErrorText().startsWith(QStringLiteral("找不到数据库文件")));
        QVERIFY(lastErrorText().endsWith(u'.'));
        QVERIFY(!frmMain->cardList->active());
        QCOMPARE(frmMain->DBGrid1->model()->rowCount(), 0);
        QCOMPARE(label("Label1"), QString());
        QCOMPARE(label("Label5"), QString());
        QVERIFY(box("CheckBox1")->isChecked());
        QCOMPARE(combo("DBLookupComboBox1")->count(), 0);
        QVERIFY(frmMain->isVisible());

        // Every later refresh tries again and reports the same kind of error; nothing is created.
        query();
        QCOMPARE(Messages::shown().size(), 2);
        QVERIFY(!QFile::exists(m_program->database().databasePath()));
    }

private:
    static QString sqlTextForTest(QString value) { return value.replace("'", "''"); }
    QString label(const char* name) { return frmMain->findChild<QLabel*>(name)->text(); }
    QCheckBox* box(const char* name) { return frmMain->findChild<QCheckBox*>(name); }
    QLineEdit* edit(const char* name) { return frmMain->findChild<QLineEdit*>(name); }
    LookupCombo* combo(const char* name) { return frmMain->findChild<LookupCombo*>(name); }
    void setText(const char* name, const QString& text) {
        edit(name)->selectAll();
        QTest::keyClick(edit(name), Qt::Key_Delete);
        typeText(edit(name), text);
    }
    void untick(const char* name) {
        if (box(name)->isChecked()) {
            QTest::mouseClick(box(name), Qt::LeftButton);
        }
    }
    // Picks a name the way a user does: focus the drop-down and step to it with the keys.
    void choose(const char* name, const QString& value) {
        LookupCombo* c = combo(name);
        const int index = c->findText(value);
        QVERIFY2(index >= 0, qPrintable(value));
        c->setFocus();
        QTest::keyClick(c, Qt::Key_Home);
        for (int i = 0; i < index; ++i) {
            QTest::keyClick(c, Qt::Key_Down);
        }
        QCOMPARE(c->shownText(), value);
    }
    void query() { QTest::mouseClick(frmMain->findChild<QPushButton*>("BitBtn1"), Qt::LeftButton); }
    QStringList names() {
        QStringList result;
        Query* q = frmMain->cardList;
        if (!q->active()) {
            return result;
        }
        const int column = q->result()->columnIndex(QStringLiteral("姓名"));
        for (int i = 0; i < q->recordCount(); ++i) {
            result << q->result()->text(q->rowAt(i), column);
        }
        return result;
    }

    std::unique_ptr<ProgramFixture> m_program;
};

QTEST_MAIN(TestCardList)
#include "tst_cardlist.moc"
