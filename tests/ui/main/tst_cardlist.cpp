// The card list of the main window through the real engine: start-up, the filters with
// their statements, the counters, and hostile filter values.

#include "app/frmdm.h"
#include "db/query.h"
#include "testsupport.h"
#include "ui/common/datagrid.h"
#include "ui/common/lookupcombo.h"
#include "ui/common/messages.h"
#include "ui/main/frmmain.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

class TestCardList : public QObject {
    Q_OBJECT

private slots:
    void init() { m_program = std::make_unique<ProgramFixture>(); }
    void cleanup() { m_program.reset(); }

    void startShowsLiveCardsNewestFirst() {
        DirectSql& sql = m_program->sql();
        insertCard(sql, "客户", "张三", "男");
        const QString second = insertCard(sql, "同事", "李四", "女");
        sql.exec("update D_B set theDel='是' where ID=1");
        insertCard(sql, "朋友", "王五", "男");
        m_program->start();
        QCOMPARE(frmMain->ADOQuery1->recordCount(), 2);
        QCOMPARE(frmMain->ADOQuery1->fieldByName("姓名"), QStringLiteral("王五"));
        QCOMPARE(label("Label1")->text(), QStringLiteral("名片数量：2"));
        QCOMPARE(label("Label5")->text(), QStringLiteral("拜访次数：0"));
        QVERIFY(!box("CheckBox1")->isChecked());
        QCOMPARE(edit("Edit1")->text(), QStringLiteral("2008-02-07"));
        QCOMPARE(edit("Edit2")->text(), QStringLiteral("2008-03-07"));
        QVERIFY(Messages::shown().isEmpty());
    }

private:
    QLabel* label(const char* name) { return frmMain->findChild<QLabel*>(name); }
    QCheckBox* box(const char* name) { return frmMain->findChild<QCheckBox*>(name); }
    QLineEdit* edit(const char* name) { return frmMain->findChild<QLineEdit*>(name); }

    std::unique_ptr<ProgramFixture> m_program;
};

QTEST_MAIN(TestCardList)
#include "tst_cardlist.moc"
