// The card list follows the register: a save in the editor, a delete, a restore and another
// program's change each come into the list in place (sort, current card, counters), with no
// read of the whole list; the model stays consistent through every change.

#include "../card/cardtest.h"
#include "db/cardstore.h"
#include "db/query.h"
#include "ui/common/datagrid.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLabel>
#include <QTest>

namespace {
QString label(const char* name) {
    return frmMain->findChild<QLabel*>(QString::fromLatin1(name))->text();
}

// The names of the list as shown, top to bottom.
QStringList shownNames() {
    QStringList names;
    const Query* list = frmMain->cardList;
    const int name = list->result()->columnIndex(QStringLiteral("姓名"));
    for (int position = 0; position < list->recordCount(); ++position) {
        names << list->result()->text(list->rowAt(position), name);
    }
    return names;
}

QString currentName() {
    return frmMain->cardList->fieldByName(QStringLiteral("姓名"));
}

void moveTo(const QString& name) {
    Query* list = frmMain->cardList;
    for (list->first(); !list->eof(); list->next()) {
        if (currentName() == name) {
            return;
        }
    }
    QFAIL("no such card in the list");
}
} // namespace

class TestLiveList : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_program = std::make_unique<ProgramFixture>();
        DirectSql& sql = m_program->sql();
        for (const char* name : {"张三", "李四", "王五", "赵六"}) {
            const QString id = insertCard(sql, "客户", name, "男");
            m_keys.insert(QString::fromUtf8(name), id);
        }
        insertVisit(sql, m_keys.value("王五"), "2008-03-01", "电话", "a");
        insertVisit(sql, m_keys.value("赵六"), "2008-03-02", "电话", "b");
        insertVisit(sql, m_keys.value("赵六"), "2008-03-03", "上门", "c");
        m_program->start();
        m_tester = std::make_unique<QAbstractItemModelTester>(
            frmMain->DBGrid1->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        frmMain->DBGrid1->sortBy(QStringLiteral("姓名 ASC")); // 李四 王五 张三 赵六
        moveTo(QStringLiteral("王五"));
        m_readsBefore = CardStore::listReads();
    }
    void cleanup() {
        m_tester.reset();
        m_program.reset();
        m_keys.clear();
    }

    // Each change, made in this program or by another, and the list after it: its names in
    // the order shown, the current card, the counters; nothing read again as a whole.
    void followsEachChange_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("current");
        QTest::addColumn<int>("visits");
        QTest::newRow("the current card renamed in the editor")
            << "edit" << QStringList{"阿王五", "李四", "张三", "赵六"} << "阿王五" << 3;
        QTest::newRow("a new card in the editor")
            << "new" << QStringList{"李四", "刘七", "王五", "张三", "赵六"} << "王五" << 3;
        QTest::newRow("the current card deleted")
            << "delete" << QStringList{"李四", "张三", "赵六"} << "张三" << 2;
        QTest::newRow("another program adds a card")
            << "other adds" << QStringList{"李四", "刘七", "王五", "张三", "赵六"} << "王五" << 3;
        QTest::newRow("another program changes the current card")
            << "other renames" << QStringList{"李四", "王五", "张三", "赵六"} << "王五" << 3;
        QTest::newRow("another program deletes a card above")
            << "other deletes" << QStringList{"王五", "张三", "赵六"} << "王五" << 3;
        QTest::newRow("another program adds a visit")
            << "other visits" << QStringList{"李四", "王五", "张三", "赵六"} << "王五" << 4;
    }
    void followsEachChange() {
        QFETCH(QString, change);
        QFETCH(QStringList, names);
        QFETCH(QString, current);
        QFETCH(int, visits);
        DirectSql& other = m_program->sql(); // a connection of its own: another program
        if (change == u"edit") {
            QVERIFY(withCardEditorOnCurrentCard([](QWidget* editor) {
                retype(editor, "EditB1", QStringLiteral("阿王五"));
                click(editor, "BitBtn1");
            }));
        } else if (change == u"new") {
            QVERIFY(withNewCardEditor([](QWidget* editor) {
                retype(editor, "EditB1", QStringLiteral("刘七"));
                click(editor, "BitBtn1");
            }));
        } else if (change == u"delete") {
            Messages::queueAnswer(true);
            clickMainButton("SpeedButton3");
        } else if (change == u"other adds") {
            insertCard(other, "客户", "刘七", "男");
        } else if (change == u"other renames") {
            other.exec("update D_B set BPho='010-1234' where ID=" + m_keys.value("王五"));
        } else if (change == u"other deletes") {
            other.exec("update D_B set theDel='是' where ID=" + m_keys.value("李四"));
        } else if (change == u"other visits") {
            insertVisit(other, m_keys.value("王五"), "2008-03-04", "电话", "d");
        }
        QVERIFY2(lastErrorText().isEmpty(), qPrintable(lastErrorText()));
        // Another program's change within a second, without a click.
        if (change == u"other renames") {
            QTRY_COMPARE_WITH_TIMEOUT(frmMain->cardList->fieldByName(QStringLiteral("固定电话")),
                                      QStringLiteral("010-1234"), 2000);
        }
        QTRY_COMPARE_WITH_TIMEOUT(shownNames(), names, 2000);
        QTRY_COMPARE_WITH_TIMEOUT(label("Label5"), QStringLiteral("拜访次数：%1").arg(visits),
                                  2000);
        QCOMPARE(currentName(), current);
        QCOMPARE(frmMain->DBGrid1->currentIndex().row(), frmMain->cardList->recNo() - 1);
        QCOMPARE(frmMain->cardList->sort(), QStringLiteral("姓名 ASC"));
        QCOMPARE(label("Label1"), QStringLiteral("名片数量：%1").arg(names.size()));
        // Changes the program made come from its store, another program's through the
        // file's data version: a program's own change alone never reads the list again.
        if (!change.startsWith(u"other")) {
            QCOMPARE(CardStore::listReads(), m_readsBefore);
        }
    }

    // A card deleted and then restored in 已删除名片 comes back in its place.
    void restoredCardComesBack() {
        Messages::queueAnswer(true);
        clickMainButton("SpeedButton3");
        QCOMPARE(shownNames(), QStringList({"李四", "张三", "赵六"}));
        insideNextWindow([](QWidget* deleted) { click(deleted, "BitBtn1"); });
        frmMain->showDeletedCards();
        QVERIFY2(lastErrorText().isEmpty(), qPrintable(lastErrorText()));
        QCOMPARE(shownNames(), QStringList({"李四", "王五", "张三", "赵六"}));
        QCOMPARE(label("Label5"), QStringLiteral("拜访次数：3"));
        QCOMPARE(CardStore::listReads(), m_readsBefore);
    }

private:
    std::unique_ptr<ProgramFixture> m_program;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    QHash<QString, QString> m_keys;
    int m_readsBefore = 0;
};

QTEST_MAIN(TestLiveList)
#include "tst_livelist.moc"
