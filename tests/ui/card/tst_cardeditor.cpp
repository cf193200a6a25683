// The card editor driven through the main window on the real engine: new cards one after
// another, the refusals (empty name, live duplicate, a card gone, deleted or saved meanwhile
// by another program), edit mode, the byte limits of the boxes, hostile values, keys, and
// errors of the engine.

#include "cardtest.h"
#include "db/query.h"
#include "db/sqltext.h"
#include "ui/card/cardeditor.h"
#include "ui/common/gbklineedit.h"

#include <QAccessible>
#include <QLabel>

namespace {
// The columns of D_B as the card list selects them, without ID.
const QStringList CardColumns = {"theDate", "theType", "BName", "BSex", "BPho",  "BMob",  "BMail",
                                 "BQQ",     "BMSN",    "BWW",   "BDes", "DArea", "DCity", "DName",
                                 "DPart",   "DJob",    "DAdd",  "DPho", "DFax",  "DPos",  "DWWW",
                                 "FAdd",    "FPho",    "FPro",  "FDes", "theDel"};

struct Box {
    const char* name;
    const char* column;
    int limit;
};
const QList<Box> Boxes = {
    {"EditB1", "BName", 20}, {"EditB2", "BPho", 50},  {"EditB3", "BMob", 50},
    {"EditB4", "BMail", 50}, {"EditB5", "BQQ", 50},   {"EditB6", "BMSN", 50},
    {"EditB7", "BWW", 50},   {"EditB8", "BDes", 200}, {"EditD1", "DCity", 20},
    {"EditD2", "DName", 50}, {"EditD3", "DPart", 20}, {"EditD4", "DJob", 20},
    {"EditD5", "DAdd", 50},  {"EditD6", "DPho", 50},  {"EditD7", "DFax", 50},
    {"EditD8", "DPos", 10},  {"EditD9", "DWWW", 50},  {"EditF1", "FAdd", 50},
    {"EditF2", "FPho", 50},  {"EditF3", "FPro", 20},  {"EditF4", "FDes", 200}};

QString insertFullCard(DirectSql& sql, const QStringList& values) {
    QStringList literals;
    for (const QString& value : values) {
        literals << QLatin1Char('\'') + sqlText(value) + QLatin1Char('\'');
    }
    sql.exec(QStringLiteral("INSERT INTO D_B (%1) VALUES (%2)")
                 .arg(CardColumns.join(QLatin1Char(',')), literals.join(QLatin1Char(','))));
    return sql.scalar(QStringLiteral("SELECT max(ID) FROM D_B"));
}

QStringList cardRow(DirectSql& sql, const QString& id) {
    QStringList values;
    for (const QString& column : CardColumns) {
        values << sql.scalar(QStringLiteral("SELECT %1 FROM D_B WHERE ID=%2").arg(column, id));
    }
    return values;
}

QString cardValue(DirectSql& sql, const QString& id, const QString& column) {
    return sql.scalar(QStringLiteral("SELECT %1 FROM D_B WHERE ID=%2").arg(column, id));
}

int cardCount(DirectSql& sql) {
    return sql.scalar(QStringLiteral("SELECT count(*) FROM D_B")).toInt();
}

// A stored card with a different value in every column.
QStringList sampleCard() {
    QStringList values;
    for (const QString& column : CardColumns) {
        values << column.toLower() + QStringLiteral("值");
    }
    values[0] = QStringLiteral("2007-01-02");
    values[1] = QStringLiteral("同事");
    values[2] = QStringLiteral("王五");
    values[3] = QStringLiteral("女");
    values[11] = QStringLiteral("上海");
    values[25] = QStringLiteral("否");
    return values;
}

QStringList allBoxTexts(QWidget* editor) {
    QStringList texts;
    for (const Box& box : Boxes) {
        texts << textOf(editor, box.name);
    }
    return texts;
}

QString lastMessage() {
    return Messages::shown().isEmpty() ? QString() : Messages::shown().last().text;
}
} // namespace

class TestCardEditor : public QObject {
    Q_OBJECT

private slots:
    void init() { m_program = std::make_unique<ProgramFixture>(); }
    void cleanup() { m_program.reset(); }

    void newCardsOneAfterAnotherFromTheDefaults() {
        DirectSql& sql = m_program->sql();
        m_program->start();
        QVERIFY(withNewCardEditor([&](QWidget* editor) {
            auto* form = qobject_cast<TfrmD_D*>(editor);
            QVERIFY(form);
            QCOMPARE(editor->windowTitle(), QStringLiteral("新增 名片"));
            QCOMPARE(lookupsShown(editor), QStringList({"客户", "男", "北京"}));
            QCOMPARE(editor->focusWidget()->objectName(), QStringLiteral("EditB1"));

            choose(editor, "DBLookupComboBox1", "同事");
            retype(editor, "EditB1", "张三");
            retype(editor, "EditB3", "13800000000");
            retype(editor, "EditD2", "Orvane 软件");
            click(editor, "BitBtn1");
            QCOMPARE(lastMessage(), QStringLiteral("恭喜！恭喜！名片 新增 保存成功！"));
            const QString first = sql.scalar("SELECT max(ID) FROM D_B");
            QStringList expected(26, QString());
            expected[0] = "2008-03-07";
            expected[1] = "同事";
            expected[2] = "张三";
            expected[3] = "男";
            expected[5] = "13800000000";
            expected[11] = "北京";
            expected[13] = "Orvane 软件";
            expected[25] = "否";
            QCOMPARE(cardRow(sql, first), expected);
            // The list behind is refreshed; the editor is blank again with the defaults.
            QCOMPARE(frmMain->cardList->recordCount(), 1);
            QCOMPARE(frmMain->findChild<QLabel*>("Label1")->text(), QStringLiteral("名片数量：1"));
            QVERIFY(editor->isVisible());
            QCOMPARE(editor->windowTitle(), QStringLiteral("新增 名片"));
            QCOMPARE(form->cardId(), TfrmD_D::NewCards);
            QCOMPARE(allBoxTexts(editor), QStringList(21, QString()));
            QCOMPARE(lookupsShown(editor), QStringList({"客户", "男", "北京"}));
            QCOMPARE(editor->focusWidget()->objectName(), QStringLiteral("EditB1"));

            choose(editor, "DBLookupComboBox2", "女");
            retype(editor, "EditB1", "李四");
            click(editor, "BitBtn1");
            QCOMPARE(cardCount(sql), 2);
            const QString second = sql.scalar("SELECT max(ID) FROM D_B");
            QCOMPARE(cardValue(sql, second, "BName"), QStringLiteral("李四"));
            QCOMPARE(cardValue(sql, second, "BSex"), QStringLiteral("女"));
            QCOMPARE(frmMain->cardList->recordCount(), 2);

            retype(editor, "EditB1", "王五"); // dropped by "退出", answering 否
            Messages::queueSaveAnswer(Messages::SaveAnswer::Discard);
            click(editor, "BitBtn2");
            QVERIFY(!editor->isVisible());
        }));
        QCOMPARE(cardCount(sql), 2);
        QCOMPARE(plainMessages().size(), 2);
        QCOMPARE(Messages::shown().last().text, QStringLiteral("名片已修改，要保存吗？"));
    }

    // Every field of the table has its control where the table places it, and a save stores
    // what each control shows in that field's column: no field is left out of the card.
    void everyFieldHasAControlThatSaves() {
        DirectSql& sql = m_program->sql();
        m_program->start();
        const QHash<QString, QString> listed{
            {"theType", "同事"}, {"BSex", "女"}, {"DArea", "上海"}};
        QVERIFY(withNewCardEditor([&](QWidget* editor) {
            for (const CardField& field : cardFields()) {
                const QByteArray name = field.editorPlace.controlName.toLatin1();
                QWidget* control = editor->findChild<QWidget*>(field.editorPlace.controlName);
                QVERIFY2(control, name.constData());
                if (field.isLookup()) {
                    choose(editor, name.constData(), listed.value(field.column));
                } else {
                    retype(editor, name.constData(), u'v' + field.column);
                }
            }
            click(editor, "BitBtn1");
        }));
        const QString id = sql.scalar("SELECT max(ID) FROM D_B");
        for (const CardField& field : cardFields()) {
            QCOMPARE(cardValue(sql, id, field.column),
                     field.isLookup() ? listed.value(field.column) : u'v' + field.column);
        }
    }

    void nameMustNotBeEmpty_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("saved");
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("blanks only") << QStringLiteral("   ") << true;
    }
    void nameMustNotBeEmpty() {
        QFETCH(QString, name);
        QFETCH(bool, saved);
        m_program->start();
        QVERIFY(withNewCardEditor([&](QWidget* editor) {
            retype(editor, "EditB2", "010-1234567");
            retype(editor, "EditB1", name);
            click(editor, "BitBtn1");
            if (saved) {
                QCOMPARE(cardValue(m_program->sql(), "1", "BName"), name); // not trimmed
                return;
            }
            QCOMPARE(plainMessages(), QStringList({"姓名 不能为空！"}));
            QCOMPARE(editor->focusWidget()->objectName(), QStringLiteral("EditB1"));
            QCOMPARE(textOf(editor, "EditB2"), QStringLiteral("010-1234567"));
        }));
        QCOMPARE(cardCount(m_program->sql()), saved ? 1 : 0);
    }

    void liveDuplicateIsRefusedInNewMode_data() {
        QTest::addColumn<QString>("storedType");
        QTest::addColumn<QString>("storedName");
        QTest::addColumn<QString>("storedSex");
        QTest::addColumn<bool>("storedDeleted");
        QTest::addColumn<QString>("type"); // "" leaves the drop-down without a selection
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("refusal"); // "" when the card is inserted

        QTest::newRow("same live card") << "客户"
                                        << "张三"
                                        << "男" << false << "客户"
                                        << "张三"
                                        << "客户 张三 男 已经存在！";
        QTest::newRow("only a deleted one") << "客户"
                                            << "张三"
                                            << "男" << true << "客户"
                                            << "张三"
                                            << "";
        QTest::newRow("other category") << "同事"
                                        << "张三"
                                        << "男" << false << "客户"
                                        << "张三"
                                        << "";
        QTest::newRow("letter case aside") << "客户"
                                           << "Alice"
                                           << "男" << false << "客户"
                                           << "ALICE"
                                           << "客户 ALICE 男 已经存在！";
        QTest::newRow("quote in the name") << "客户"
                                           << "O'Neil"
                                           << "男" << false << "客户"
                                           << "O'Neil"
                                           << "客户 O'Neil 男 已经存在！";
        QTest::newRow("no category chosen") << ""
                                            << "张三"
                                            << "男" << false << ""
                                            << "张三"
                                            << " 张三 男 已经存在！";
    }
    void liveDuplicateIsRefusedInNewMode() {
        QFETCH(QString, storedType);
        QFETCH(QString, storedName);
        QFETCH(QString, storedSex);
        QFETCH(bool, storedDeleted);
        QFETCH(QString, type);
        QFETCH(QString, name);
        QFETCH(QString, refusal);
        DirectSql& sql = m_program->sql();
        const QString id = insertCard(sql, storedType, storedName, storedSex);
        if (storedDeleted) {
            sql.exec("UPDATE D_B SET theDel='是' WHERE ID=" + id);
        }
        if (type.isEmpty()) {
            sql.exec("UPDATE D_Mr SET theType=''");
        }
        m_program->start();
        QVERIFY(withNewCardEditor([&](QWidget* editor) {
            if (!type.isEmpty()) {
                choose(editor, "DBLookupComboBox1", type);
            }
            retype(editor, "EditB1", name);
            retype(editor, "EditB4", "a@b.cn");
            click(editor, "BitBtn1");
            if (refusal.isEmpty()) {
                QCOMPARE(lastMessage(), QStringLiteral("恭喜！恭喜！名片 新增 保存成功！"));
                return;
            }
            QCOMPARE(plainMessages(), QStringList({refusal}));
            QCOMPARE(editor->focusWidget()->objectName(), QStringLiteral("EditB1"));
            QCOMPARE(textOf(editor, "EditB4"), QStringLiteral("a@b.cn")); // kept for a retry
        }));
        QCOMPARE(cardCount(sql), refusal.isEmpty() ? 2 : 1);
    }

    void theSameCardTwiceIsRefusedTheSecondTime() {
        m_program->start();
        QVERIFY(withNewCardEditor([&](QWidget* editor) {
            retype(editor, "EditB1", "张三");
            click(editor, "BitBtn1");
            QCOMPARE(textOf(editor, "EditB1"), QString());
            typeText(editor->focusWidget(), "张三");
            click(editor, "BitBtn1");
            QCOMPARE(plainMessages(),
                     QStringList({"恭喜！恭喜！名片 新增 保存成功！", "客户 张三 男 已经存在！"}));
        }));
        QCOMPARE(cardCount(m_program->sql()), 1);
    }

    // A change is saved over the card, its entry date and live flag kept; a change that would
    // make it equal to another live card is refused like a new duplicate, and nothing is
    // written until the user changes it again.
    void editModeChangesTheCardButNotItsDateOrLiveFlag() {
        DirectSql& sql = m_program->sql();
        insertCard(sql, "客户", "李四", "男"); // a live card the first change would equal
        const QStringList stored = sampleCard();
        const QString id = insertFullCard(sql, stored);
        m_program->start();
        QVERIFY(withCardEditorOnCurrentCard([&](QWidget* editor) {
            QCOMPARE(editor->windowTitle(), QStringLiteral("修改 名片"));
            QCOMPARE(qobject_cast<TfrmD_D*>(editor)->cardId(), id.toLongLong());
            QCOMPARE(lookupsShown(editor), QStringList({"同事", "女", "上海"}));
            QStringList boxes;
            for (const Box& box : Boxes) {
                boxes << QString::fromLatin1(box.column).toLower() + QStringLiteral("值");
            }
            boxes[0] = "王五";
            QCOMPARE(allBoxTexts(editor), boxes);
            QCOMPARE(control<QLineEdit>(editor, "EditB4")->cursorPosition(), 0);

            choose(editor, "DBLookupComboBox1", "客户");
            choose(editor, "DBLookupComboBox2", "男");
            retype(editor, "EditB1", "李四");
            retype(editor, "EditF4", QString());
            click(editor, "BitBtn1");
            QCOMPARE(plainMessages(), QStringList({"客户 李四 男 已经存在！"}));
            QVERIFY(editor->isVisible());
            QCOMPARE(cardRow(sql, id), stored);

            Messages::clearRecord();
            retype(editor, "EditB1", "李五");
            click(editor, "BitBtn1");
            QCOMPARE(plainMessages(), QStringList({"恭喜！恭喜！名片 修改 保存成功！"}));
            QVERIFY(!editor->isVisible());
        }));
        QStringList expected = stored;
        expected[1] = "客户";
        expected[2] = "李五";
        expected[3] = "男";
        expected[24] = QString();
        QCOMPARE(cardRow(sql, id), expected); // theDate and theDel as they were
        QCOMPARE(cardCount(sql), 2);
        QCOMPARE(frmMain->cardList->fieldByName("姓名"), QStringLiteral("李五"));
    }

    // A card whose category, sex or province is not in the lookup lists (an imported card)
    // opens with that drop-down showing the stored text; an edit of another field keeps it,
    // and picking a listed name replaces it.
    void unlistedLookupValuesSurviveAnEdit_data() {
        QTest::addColumn<int>("column"); // position in CardColumns
        QTest::addColumn<QString>("combo");
        QTest::addColumn<QString>("unlisted");
        QTest::addColumn<QString>("picked"); // empty: nothing picked
        QTest::newRow("category kept") << 1 << "DBLookupComboBox1"
                                       << "VIP客户"
                                       << "";
        QTest::newRow("sex kept") << 3 << "DBLookupComboBox2"
                                  << "未知"
                                  << "";
        QTest::newRow("province kept") << 11 << "DBLookupComboBox3"
                                       << "广东省"
                                       << "";
        QTest::newRow("category replaced") << 1 << "DBLookupComboBox1"
                                           << "VIP客户"
                                           << "朋友";
        QTest::newRow("sex replaced") << 3 << "DBLookupComboBox2"
                                      << "未知"
                                      << "女";
        QTest::newRow("province replaced") << 11 << "DBLookupComboBox3"
                                           << "广东省"
                                           << "广东";
    }
    void unlistedLookupValuesSurviveAnEdit() {
        QFETCH(int, column);
        QFETCH(QString, combo);
        QFETCH(QString, unlisted);
        QFETCH(QString, picked);
        DirectSql& sql = m_program->sql();
        QStringList stored = sampleCard();
        stored[column] = unlisted;
        const QString id = insertFullCard(sql, stored);
        m_program->start();
        const QByteArray comboName = combo.toLatin1();
        QVERIFY(withCardEditorOnCurrentCard([&](QWidget* editor) {
            QCOMPARE(shownIn(editor, comboName.constData()), unlisted);
            if (!picked.isEmpty()) {
                choose(editor, comboName.constData(), picked);
            }
            retype(editor, "EditB3", "13900000000");
            click(editor, "BitBtn1");
            QCOMPARE(plainMessages(), QStringList({"恭喜！恭喜！名片 修改 保存成功！"}));
        }));
        QStringList expected = stored;
        expected[column] = picked.isEmpty() ? unlisted : picked;
        expected[5] = QStringLiteral("13900000000");
        QCOMPARE(cardRow(sql, id), expected);
    }

    void editModeRefusesTheEmptyName() {
        DirectSql& sql = m_program->sql();
        const QString id = insertFullCard(sql, sampleCard());
        m_program->start();
        QVERIFY(withCardEditorOnCurrentCard([&](QWidget* editor) {
            retype(editor, "EditB1", QString());
            click(editor, "BitBtn1");
            QCOMPARE(plainMessages(), QStringList({"姓名 不能为空！"}));
            QVERIFY(editor->isVisible());
        }));
        QCOMPARE(cardRow(sql, id), sampleCard());
    }

    // The list offered the card, but it is gone or deleted by the time it is loaded or saved:
    // nothing is written and no success is reported.
    void editModeRefusesACardThatIsNoLongerLive_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("beforeOpening");
        QTest::addColumn<bool>("loads");
        QTest::newRow("removed before opening") << "DELETE FROM D_B WHERE ID=%1" << true << false;
        QTest::newRow("deleted before opening")
            << "UPDATE D_B SET theDel='是' WHERE ID=%1" << true << true;
        QTest::newRow("removed while open") << "DELETE FROM D_B WHERE ID=%1" << false << true;
        QTest::newRow("deleted while open")
            << "UPDATE D_B SET theDel='是' WHERE ID=%1" << false << true;
    }
    void editModeRefusesACardThatIsNoLongerLive() {
        QFETCH(QString, change);
        QFETCH(bool, beforeOpening);
        QFETCH(bool, loads);
        DirectSql& sql = m_program->sql();
        const QString id = insertFullCard(sql, sampleCard());
        m_program->start();
        if (beforeOpening) {
            sql.exec(change.arg(id));
        }
        QVERIFY(withCardEditorOnCurrentCard([&](QWidget* editor) {
            QCOMPARE(textOf(editor, "EditB1"), loads ? QStringLiteral("王五") : QString());
            if (!beforeOpening) {
                sql.exec(change.arg(id));
            }
            retype(editor, "EditB1", "赵六");
            click(editor, "BitBtn1");
            QCOMPARE(plainMessages(), QStringList({"该名片已不存在或已被删除，修改没有保存！"}));
            QVERIFY(editor->isVisible());
            QCOMPARE(textOf(editor, "EditB1"), QStringLiteral("赵六"));
        }));
        QCOMPARE(sql.count("SELECT ID FROM D_B WHERE BName='赵六'"), 0);
        QCOMPARE(cardCount(sql), change.startsWith("DELETE") ? 0 : 1);
    }

    // Another program saves the card while it is open here: 保存 overwrites nothing and says
    // so in one box, the window stays open with what the user typed, the other save stays.
    void editModeKeepsACardSavedMeanwhile() {
        DirectSql& sql = m_program->sql();
        const QString id = insertFullCard(sql, sampleCard());
        m_program->start();
        QVERIFY(withCardEditorOnCurrentCard([&](QWidget* editor) {
            retype(editor, "EditB2", "我的电话");
            sql.exec("UPDATE D_B SET FDes='别人的备注' WHERE ID=" + id);
            retype(editor, "EditF4", "我的备注");
            click(editor, "BitBtn1");
            QCOMPARE(Messages::shown().size(), 1);
            QCOMPARE(plainMessages(),
                     QStringList{"这张名片在您打开之后已被其他用户（或其他程序）修改，"
                                 "本次修改没有保存。请关闭本窗口，重新打开这张名片，"
                                 "看过别人的修改后再改。"});
            QVERIFY(editor->isVisible());
            QCOMPARE(textOf(editor, "EditB2"), QStringLiteral("我的电话"));
            QCOMPARE(textOf(editor, "EditF4"), QStringLiteral("我的备注"));
        }));
        QStringList expected = sampleCard();
        expected[CardColumns.indexOf("FDes")] = QStringLiteral("别人的备注");
        QCOMPARE(cardRow(sql, id), expected);
    }

    void boxesTakeNoMoreBytesThanTheirLimit_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("column");
        QTest::addColumn<int>("limit");
        for (const Box& box : Boxes) {
            QTest::newRow(box.name)
                << QString::fromLatin1(box.name) << QString::fromLatin1(box.column) << box.limit;
        }
    }
    void boxesTakeNoMoreBytesThanTheirLimit() {
        QFETCH(QString, box);
        QFETCH(QString, column);
        QFETCH(int, limit);
        m_program->start();
        const QByteArray name = box.toLatin1();
        QVERIFY(withNewCardEditor([&](QWidget* editor) {
            if (box != QLatin1String("EditB1")) {
                retype(editor, "EditB1", "张三");
            }
            // Latin letters on the keyboard, then Chinese through the input method.
            retype(editor, name.constData(), QString(limit + 3, QChar(u'9')));
            QCOMPARE(textOf(editor, name.constData()), QString(limit, QChar(u'9')));
            retype(editor, name.constData(), QString(limit, QChar(u'长')));
            QCOMPARE(textOf(editor, name.constData()), QString(limit / 2, QChar(u'长')));
            click(editor, "BitBtn1");
        }));
        QCOMPARE(cardValue(m_program->sql(), "1", column), QString(limit / 2, QChar(u'长')));
    }

    void aLongerStoredValueLoadsWholeAndSavesAsShown() {
        DirectSql& sql = m_program->sql();
        QStringList stored = sampleCard();
        stored[2] = QString(15, QChar(u'名'));      // BName: 30 bytes, the box takes 20
        stored[19] = QStringLiteral("100000-1234"); // DPos: 11 bytes, the box takes 10
        const QString id = insertFullCard(sql, stored);
        m_program->start();
        QVERIFY(withCardEditorOnCurrentCard([&](QWidget* editor) {
            QCOMPARE(textOf(editor, "EditB1"), stored[2]);
            QCOMPARE(textOf(editor, "EditD8"), stored[19]);
            auto* nameBox = control<QLineEdit>(editor, "EditB1");
            QTest::mouseClick(nameBox, Qt::LeftButton);
            QTest::keyClick(nameBox, Qt::Key_End);
            QTest::keyClick(nameBox, Qt::Key_Backspace);
            typeText(nameBox, "x名"); // shortened, but not lengthened again
            QCOMPARE(nameBox->text(), QString(14, QChar(u'名')));
            click(editor, "BitBtn1");
        }));
        QCOMPARE(cardValue(sql, id, "BName"), QString(14, QChar(u'名')));
        QCOMPARE(cardValue(sql, id, "DPos"), QStringLiteral("100000-1234"));
    }

    // Quotes, SQL wildcards and comment marks, characters outside GBK: typed into every box,
    // they are stored exactly, and the duplicate check still finds the card.
    void hostileTypedValuesAreStoredExactly() {
        DirectSql& sql = m_program->sql();
        m_program->start();
        QStringList typed;
        for (int i = 0; i < Boxes.size(); ++i) {
            typed << QStringLiteral("'%1%_😀한").arg(i, 2, 10, QChar(u'0')); // 10 bytes
        }
        typed[0] = QStringLiteral("O'Neil'--; %");             // the name
        typed[1] = QChar(0xFEFF) + QStringLiteral("010-1234"); // a leading byte order mark
        QVERIFY(withNewCardEditor([&](QWidget* editor) {
            for (int i = 0; i < Boxes.size(); ++i) {
                retype(editor, Boxes[i].name, typed[i]);
            }
            QCOMPARE(allBoxTexts(editor), typed);
            click(editor, "BitBtn1");
            QCOMPARE(lastMessage(), QStringLiteral("恭喜！恭喜！名片 新增 保存成功！"));
            retype(editor, "EditB1", typed[0]);
            click(editor, "BitBtn1");
            QCOMPARE(lastMessage(), QStringLiteral("客户 O'Neil'--; % 男 已经存在！"));
        }));
        QCOMPARE(cardCount(sql), 1);
        for (int i = 0; i < Boxes.size(); ++i) {
            QCOMPARE(cardValue(sql, "1", Boxes[i].column), typed[i]);
        }
    }

    // Values that no keyboard gives (line breaks, a tab, a NUL, a leading byte order mark,
    // texts beyond the limits and beyond QLineEdit's own 32,767 characters), as an import
    // stores them, survive loading and saving back untouched.
    void hostileStoredValuesSurviveAnEdit() {
        DirectSql& sql = m_program->sql();
        const QStringList hostile = {"a'b''c",
                                     "line1\nline2",
                                     "line1\r\nline2",
                                     "tab\there",
                                     QString("nul") + QChar(0) + "x",
                                     "100%_",
                                     "\\'; DROP TABLE D_B; --",
                                     "😀😀",
                                     "한국어",
                                     QString(150, QChar(u'长')),
                                     QChar(0xFEFF) + QStringLiteral("前置BOM"),
                                     QString(40000, QChar(u'长'))};
        QStringList stored = sampleCard();
        for (int i = 4; i < 25; ++i) {
            if (i != 11) { // DArea is a drop-down
                stored[i] = hostile[i % hostile.size()] + QString::number(i);
            }
        }
        const QString id = insertFullCard(sql, stored);
        m_program->start();
        QVERIFY(withCardEditorOnCurrentCard([&](QWidget* editor) {
            for (int i = 0; i < Boxes.size(); ++i) {
                const QString column = QString::fromLatin1(Boxes[i].column);
                QCOMPARE(textOf(editor, Boxes[i].name), stored[CardColumns.indexOf(column)]);
            }
            click(editor, "BitBtn1");
            QCOMPARE(lastMessage(), QStringLiteral("恭喜！恭喜！名片 修改 保存成功！"));
        }));
        QCOMPARE(cardRow(sql, id), stored);
    }

    void shrunkWindowStillShowsEveryControl() {
        m_program->start();
        QVERIFY(withNewCardEditor([&](QWidget* editor) {
            checkEveryControlShowsAtMinimumSize(editor);
            QVERIFY(control<QPushButton>(editor, "BitBtn1")->isVisible()); // 保存
            QVERIFY(control<QPushButton>(editor, "BitBtn2")->isVisible()); // 退出
        }));
    }

    void tabOrderAndKeys() {
        m_program->start();
        QVERIFY(withNewCardEditor([&](QWidget* editor) {
            QStringList order;
            QWidget* widget = control<QWidget>(editor, "DBLookupComboBox1");
            do {
                if ((widget->focusPolicy() & Qt::TabFocus) && !widget->objectName().isEmpty() &&
                    widget->isVisibleTo(editor)) {
                    order << widget->objectName();
                }
                widget = widget->nextInFocusChain();
            } while (widget->objectName() != QLatin1String("DBLookupComboBox1"));
            QCOMPARE(order, QStringList({"DBLookupComboBox1",
                                         "Button1",
                                         "EditB1",
                                         "DBLookupComboBox2",
                                         "EditB2",
                                         "EditB3",
                                         "EditB4",
                                         "EditB5",
                                         "EditB6",
                                         "EditB7",
                                         "EditB8",
                                         "DBLookupComboBox3",
                                         "EditD1",
                                         "EditD2",
                                         "EditD3",
                                         "EditD4",
                                         "EditD5",
                                         "EditD6",
                                         "EditD7",
                                         "EditD8",
                                         "EditD9",
                                         "EditF1",
                                         "EditF2",
                                         "EditF3",
                                         "EditF4",
                                         "BitBtn1",
                                         "BitBtn2",
                                         "WebBrowser1"}));

            // Enter in a box does not save.
            retype(editor, "EditB1", "张三");
            QTest::keyClick(editor->focusWidget(), Qt::Key_Return);
            QVERIFY(Messages::shown().isEmpty());
            QCOMPARE(cardCount(m_program->sql()), 0);
            // Ctrl+S saves from wherever the focus is.
            QTest::keyClick(editor->focusWidget(), Qt::Key_S, Qt::ControlModifier);
            QCOMPARE(Messages::shown().size(), 1);
            QCOMPARE(cardCount(m_program->sql()), 1);
            // Alt with a letter types nothing into the box.
            retype(editor, "EditB3", "13800138000");
            QTest::keyClick(editor->focusWidget(), Qt::Key_S, Qt::AltModifier);
            QCOMPARE(control<QLineEdit>(editor, "EditB3")->text(), QStringLiteral("13800138000"));
            // Enter on the focused "保存" presses it, as on any focused button: the blank
            // card is refused.
            auto* save = control<QPushButton>(editor, "BitBtn1");
            control<QLineEdit>(editor, "EditB3")->clear();
            save->setFocus();
            QTest::keyClick(save, Qt::Key_Return);
            QCOMPARE(Messages::shown().size(), 2);
            QCOMPARE(Messages::shown().last().text, QStringLiteral("姓名 不能为空！"));
            // Esc closes the editor, as 退出 does.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            QVERIFY(!editor->isVisible());
        }));
        QCOMPARE(cardCount(m_program->sql()), 1);
    }

    // A screen reader names each drop-down by its label and reads the chosen name as its
    // value, not the value alone.
    void dropDownsAreAnnouncedByTheirLabel() {
        m_program->start();
        QVERIFY(withNewCardEditor([&](QWidget* editor) {
            const struct {
                const char* combo;
                QString label;
            } dropDowns[] = {{"DBLookupComboBox1", QStringLiteral("分类")},
                             {"DBLookupComboBox2", QStringLiteral("性别")},
                             {"DBLookupComboBox3", QStringLiteral("省份")}};
            for (const auto& dropDown : dropDowns) {
                auto* combo = control<LookupCombo>(editor, dropDown.combo);
                QVERIFY(combo->count() > 0);
                choose(editor, dropDown.combo, combo->itemText(combo->count() - 1));
                QAccessibleInterface* announced = QAccessible::queryAccessibleInterface(combo);
                QVERIFY(announced);
                QCOMPARE(announced->role(), QAccessible::ComboBox);
                QCOMPARE(announced->text(QAccessible::Name), dropDown.label);
                QCOMPARE(announced->text(QAccessible::Value), combo->shownText());
                QVERIFY(!combo->shownText().isEmpty());
            }
        }));
    }

    void engineErrorsLeaveTheWindowOpen() {
        DirectSql& sql = m_program->sql();
        m_program->start();
        // The sex list cannot be read when the editor is created; the insert always fails.
        sql.exec("ALTER TABLE D_Sex RENAME TO D_Sex_gone");
        sql.exec("CREATE TRIGGER no_insert BEFORE INSERT ON D_B "
                 "BEGIN SELECT RAISE(FAIL, '磁盘已满'); END");
        QVERIFY(withNewCardEditor([&](QWidget* editor) {
            QVERIFY(lastErrorText().contains("D_Sex"));
            QVERIFY(control<LookupCombo>(editor, "DBLookupComboBox1")->count() > 0);
            QCOMPARE(control<LookupCombo>(editor, "DBLookupComboBox3")->count(), 0);
            QCOMPARE(shownIn(editor, "DBLookupComboBox1"), QStringLiteral("客户"));

            Messages::clearRecord();
            retype(editor, "EditB1", "张三");
            click(editor, "BitBtn1");
            QVERIFY(lastErrorText().contains("磁盘已满"));
            QVERIFY(plainMessages().isEmpty());
            QVERIFY(editor->isVisible());
            QCOMPARE(textOf(editor, "EditB1"), QStringLiteral("张三"));
        }));
        QCOMPARE(cardCount(sql), 0);
    }

private:
    std::unique_ptr<ProgramFixture> m_program;
};

QTEST_MAIN(TestCardEditor)
#include "tst_cardeditor.moc"
