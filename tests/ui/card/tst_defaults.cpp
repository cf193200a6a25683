// The defaults window, opened from the card editor over the main window on the real engine:
// what it shows for each state of D_Mr, what it writes, and how the editor's blank cards
// follow the stored defaults.

#include "cardtest.h"

namespace {
void setDefaultsRows(DirectSql& sql, const QStringList& rows) {
    sql.exec("DELETE FROM D_Mr");
    for (const QString& row : rows) {
        const QStringList values = row.split(QLatin1Char('|'));
        sql.exec(QStringLiteral("INSERT INTO D_Mr (theType, theSex, theP) VALUES ('%1','%2','%3')")
                     .arg(values[0], values[1], values[2]));
    }
}

const QStringList Nothing = {"", "", ""};
} // namespace

class TestDefaults : public QObject {
    Q_OBJECT

private slots:
    void init() { m_program = std::make_unique<ProgramFixture>(); }
    void cleanup() { m_program.reset(); }

    void onlyASingleRowIsPreselected_data() {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("one row") << QStringList{"客户|男|北京"}
                                 << QStringList{"客户", "男", "北京"};
        QTest::newRow("no row") << QStringList{} << Nothing;
        QTest::newRow("two rows") << QStringList{"客户|男|北京", "同事|女|上海"} << Nothing;
        QTest::newRow("names no longer listed")
            << QStringList{"已撤销|男|火星"} << QStringList{"", "男", ""};
    }
    void onlyASingleRowIsPreselected() {
        QFETCH(QStringList, rows);
        QFETCH(QStringList, shown);
        DirectSql& sql = m_program->sql();
        setDefaultsRows(sql, rows);
        m_program->start();
        QVERIFY(withNewCardEditor([&](QWidget* editor) {
            QCOMPARE(lookupsShown(editor), shown);
            QVERIFY(withDefaultsWindow(editor, [&](QWidget* defaults) {
                QCOMPARE(defaults->windowTitle(), QStringLiteral("设置默认项"));
                QCOMPARE(lookupsShown(defaults), shown);
                click(defaults, "BitBtn2"); // 退出
                QVERIFY(!defaults->isVisible());
            }));
            QVERIFY(editor->isVisible());
        }));
        QCOMPARE(defaultsRows(sql), rows);
        QVERIFY(Messages::shown().isEmpty());
    }

    // Whatever D_Mr held (no row, one, two), a save leaves exactly the one row shown, so that
    // new cards start from it.
    void saveLeavesExactlyTheShownRow_data() {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<bool>("choose"); // 同事, 女, 上海; otherwise saved as opened
        QTest::addColumn<QStringList>("after");
        QTest::newRow("one row") << QStringList{"客户|男|北京"} << true
                                 << QStringList{"同事|女|上海"};
        QTest::newRow("one row, unchanged")
            << QStringList{"客户|男|北京"} << false << QStringList{"客户|男|北京"};
        QTest::newRow("no row") << QStringList{} << true << QStringList{"同事|女|上海"};
        QTest::newRow("no row, unchanged") << QStringList{} << false << QStringList{"||"};
        QTest::newRow("two rows") << QStringList{"客户|男|北京", "同事|女|北京"} << true
                                  << QStringList{"同事|女|上海"};
        QTest::newRow("names no longer listed")
            << QStringList{"已撤销|男|火星"} << false << QStringList{"|男|"};
    }
    void saveLeavesExactlyTheShownRow() {
        QFETCH(QStringList, rows);
        QFETCH(bool, choose);
        QFETCH(QStringList, after);
        DirectSql& sql = m_program->sql();
        setDefaultsRows(sql, rows);
        m_program->start();
        QVERIFY(withNewCardEditor([&](QWidget* editor) {
            QVERIFY(withDefaultsWindow(editor, [&](QWidget* defaults) {
                if (choose) {
                    ::choose(defaults, "DBLookupComboBox1", "同事");
                    ::choose(defaults, "DBLookupComboBox2", "女");
                    ::choose(defaults, "DBLookupComboBox3", "上海");
                }
                click(defaults, "BitBtn1");
                QCOMPARE(plainMessages(), QStringList({"默认选项 保存成功！"}));
                QVERIFY(!defaults->isVisible());
            }));
            if (choose) {
                // The next blank card starts from the saved row.
                retype(editor, "EditB1", "张三");
                click(editor, "BitBtn1");
                QCOMPARE(lookupsShown(editor), QStringList({"同事", "女", "上海"}));
            }
        }));
        QCOMPARE(defaultsRows(sql), after);
    }

    // The card being typed keeps its selections; the next blank card starts from the new
    // defaults.
    void newDefaultsApplyFromTheNextBlankCard() {
        DirectSql& sql = m_program->sql();
        m_program->start();
        QVERIFY(withNewCardEditor([&](QWidget* editor) {
            choose(editor, "DBLookupComboBox1", "朋友");
            retype(editor, "EditB1", "张三");
            QVERIFY(withDefaultsWindow(editor, [&](QWidget* defaults) {
                QCOMPARE(lookupsShown(defaults), QStringList({"客户", "男", "北京"}));
                choose(defaults, "DBLookupComboBox1", "同事");
                choose(defaults, "DBLookupComboBox2", "女");
                choose(defaults, "DBLookupComboBox3", "上海");
                click(defaults, "BitBtn1");
            }));
            QCOMPARE(lookupsShown(editor), QStringList({"朋友", "男", "北京"}));
            QCOMPARE(textOf(editor, "EditB1"), QStringLiteral("张三"));
            click(editor, "BitBtn1");
            QCOMPARE(lookupsShown(editor), QStringList({"同事", "女", "上海"}));
        }));
        QCOMPARE(valuesOf(sql, "SELECT theType||'|'||BSex||'|'||DArea FROM D_B"),
                 QStringList({"朋友|男|北京"}));
        QCOMPARE(defaultsRows(sql), QStringList({"同事|女|上海"}));
    }

    // Without a single defaults row a new card opens without selections, and after a save
    // the drop-downs keep those of the card just saved.
    void withoutASingleRowTheEditorKeepsTheLastSelections_data() {
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("no row") << QStringList{};
        QTest::newRow("two rows") << QStringList{"客户|男|北京", "同事|女|上海"};
    }
    void withoutASingleRowTheEditorKeepsTheLastSelections() {
        QFETCH(QStringList, rows);
        DirectSql& sql = m_program->sql();
        setDefaultsRows(sql, rows);
        m_program->start();
        QVERIFY(withNewCardEditor([&](QWidget* editor) {
            QCOMPARE(lookupsShown(editor), Nothing);
            retype(editor, "EditB1", "无分类");
            click(editor, "BitBtn1"); // stored with empty selections
            choose(editor, "DBLookupComboBox1", "朋友");
            choose(editor, "DBLookupComboBox2", "女");
            choose(editor, "DBLookupComboBox3", "上海");
            retype(editor, "EditB1", "张三");
            retype(editor, "EditB2", "010-1234567");
            click(editor, "BitBtn1");
            QCOMPARE(lookupsShown(editor), QStringList({"朋友", "女", "上海"}));
            QCOMPARE(textOf(editor, "EditB1"), QString());
            QCOMPARE(textOf(editor, "EditB2"), QString());
        }));
        QCOMPARE(valuesOf(sql, "SELECT theType||'|'||BName||'|'||BSex||'|'||DArea FROM D_B"),
                 QStringList({"|无分类||", "朋友|张三|女|上海"}));
    }

    void keysAndTabOrder() {
        DirectSql& sql = m_program->sql();
        m_program->start();
        QVERIFY(withNewCardEditor([&](QWidget* editor) {
            QVERIFY(withDefaultsWindow(editor, [&](QWidget* defaults) {
                QStringList order;
                QWidget* widget = control<QWidget>(defaults, "DBLookupComboBox1");
                do {
                    if (widget->focusPolicy() & Qt::TabFocus) {
                        order << widget->objectName();
                    }
                    widget = widget->nextInFocusChain();
                } while (widget->objectName() != QLatin1String("DBLookupComboBox1"));
                QCOMPARE(order, QStringList({"DBLookupComboBox1", "DBLookupComboBox2",
                                             "DBLookupComboBox3", "BitBtn1", "BitBtn2"}));

                choose(defaults, "DBLookupComboBox1", "同事");
                QTest::keyClick(defaults->focusWidget(), Qt::Key_Return);
                QVERIFY(defaults->isVisible()); // Enter in a drop-down saves nothing
                // Esc closes as 退出: asked, 否 closes without saving.
                Messages::queueSaveAnswer(Messages::SaveAnswer::Discard);
                QTest::keyClick(defaults->focusWidget(), Qt::Key_Escape);
                QVERIFY(!defaults->isVisible());
                QCOMPARE(Messages::shown().size(), 1);
                QCOMPARE(Messages::shown().last().text, QStringLiteral("默认项已修改，要保存吗？"));
            }));
        }));
        QCOMPARE(defaultsRows(sql), QStringList({"客户|男|北京"}));
    }

    // The write is one transaction: when it fails halfway, D_Mr keeps the row it had.
    void aFailedWriteKeepsTheWindowOpen() {
        DirectSql& sql = m_program->sql();
        m_program->start();
        QVERIFY(withNewCardEditor([&](QWidget* editor) {
            QVERIFY(withDefaultsWindow(editor, [&](QWidget* defaults) {
                sql.exec("CREATE TRIGGER no_insert BEFORE INSERT ON D_Mr "
                         "BEGIN SELECT RAISE(FAIL, '只读'); END");
                choose(defaults, "DBLookupComboBox2", "女");
                click(defaults, "BitBtn1");
                QVERIFY(lastErrorText().contains("只读"));
                QVERIFY(plainMessages().isEmpty());
                QVERIFY(defaults->isVisible());
                QCOMPARE(lookupsShown(defaults), QStringList({"客户", "女", "北京"}));
            }));
        }));
        QCOMPARE(defaultsRows(sql), QStringList({"客户|男|北京"}));
    }

private:
    std::unique_ptr<ProgramFixture> m_program;
};

QTEST_MAIN(TestDefaults)
#include "tst_defaults.moc"
