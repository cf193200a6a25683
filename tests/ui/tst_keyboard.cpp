// The program by keyboard alone: every command in the menu bar with its keys, each key doing
// what its item does, Tab walking every window as it reads (left to right, top to bottom),
// Esc closing every child window (asking first when input is not saved), and the filter boxes
// ticked and unticked from the keyboard.

#include "testsupport.h"
#include "ui/common/messages.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <functional>

namespace {
QWidget* focused() {
    return QApplication::focusWidget();
}

// The control the focus is in, by name: an edit box inside a drop-down counts as the drop-down.
QString focusedName() {
    QWidget* widget = focused();
    if (widget && widget->objectName().isEmpty() && qobject_cast<QComboBox*>(widget->parent())) {
        widget = widget->parentWidget();
    }
    return widget ? widget->objectName() : QString();
}

// Presses Tab from the control named first until the focus comes back to it; the names on
// the way, first included.
QStringList tabCycle(QWidget* window, const QString& first) {
    auto* start = window->findChild<QWidget*>(first);
    if (!start) {
        return {QStringLiteral("no ") + first};
    }
    start->setFocus(Qt::TabFocusReason);
    QStringList names{focusedName()};
    for (int i = 0; i < 40; ++i) {
        QTest::keyClick(focused(), Qt::Key_Tab);
        if (focusedName() == first && names.size() > 1) {
            return names;
        }
        if (names.last() != focusedName()) { // a control with stops of its own (links)
            names << focusedName();
        }
    }
    return names;
}

// The input controls of a window whose accessible name is missing or keeps a label's padding
// or colon, as "control: name".
QStringList badlyNamedInputs(QWidget* window) {
    QStringList bad;
    for (QWidget* input : window->findChildren<QWidget*>()) {
        const bool isInput = qobject_cast<QLineEdit*>(input) || qobject_cast<QComboBox*>(input);
        if (!isInput || qobject_cast<QComboBox*>(input->parentWidget())) {
            continue; // an edit box inside a drop-down is the drop-down's
        }
        const QString name = input->accessibleName();
        if (name.isEmpty() || name.contains(QStringLiteral("  ")) || name.endsWith(u'：') ||
            name != name.trimmed()) {
            bad << input->objectName() + QStringLiteral(": ") + name;
        }
    }
    return bad;
}

void press(QWidget* window, const QString& name) {
    if (auto* button = window->findChild<QAbstractButton*>(name)) {
        QTest::mouseClick(button, Qt::LeftButton);
    } else if (auto* action = window->findChild<QAction*>(name)) {
        action->trigger();
    } else {
        QFAIL(qPrintable(name));
    }
}
} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_program = std::make_unique<ProgramFixture>();
        insertCard(m_program->sql(), "客户", "张三", "男");
        insertCard(m_program->sql(), "同事", "李四", "女");
        m_program->start();
        mainWindow()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(mainWindow()));
    }
    void cleanup() { m_program.reset(); }

    // Every command of the pop-up menu and of the bar buttons is in the menu bar, and the
    // items show their keys.
    void menuBarHoldsEveryCommandWithItsKeys() {
        auto* bar = mainWindow()->findChild<QMenuBar*>();
        QVERIFY(bar);
        QStringList titles;
        QHash<QString, QString> keys; // item -> keys shown
        for (QAction* menuAction : bar->actions()) {
            titles << menuAction->text();
            for (QAction* item : menuAction->menu()->actions()) {
                if (!item->isSeparator()) {
                    keys.insert(item->text(), item->shortcut().toString());
                }
            }
        }
        QCOMPARE(titles, QStringList({"名片(&C)", "工具(&T)", "帮助(&H)"}));
        for (QAction* item : mainWindow()->findChild<QMenu*>("PopupMenu1")->actions()) {
            QVERIFY2(item->isSeparator() || keys.contains(item->text()), qPrintable(item->text()));
        }
        const QHash<QString, QString> expected{
            {"新增名片 &N", "Ctrl+N"}, {"修改名片 &M", "Ctrl+E"}, {"删除名片 &D", "Del"},
            {"拜访记录 &B", "Ctrl+R"}, {"上一条 &S", "Ctrl+Up"},  {"下一条 &X", "Ctrl+Down"},
            {"查询 &Q", "F5"},         {"查找 &F", "Ctrl+F"},     {"已删除名片 &R", ""},
            {"退出 &E", "Ctrl+Q"},     {"导入名片 &I", "Ctrl+I"}, {"导入vCard &C", ""},
            {"导出Excel &E", ""},      {"导出vCard &V", ""},      {"设置默认项 &S", ""},
            {"关于我们 &A", "F1"},     {"连接服务器 &L", ""},     {"设置密码 &P", ""},
            {"转到名片列表 &L", "F6"}};
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            QVERIFY2(keys.contains(it.key()), qPrintable(it.key()));
            QCOMPARE(keys.value(it.key()), it.value());
        }
    }

    // Each key of the main window does what its menu item does.
    void keysOfTheMainWindow_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("window"); // the window it opens, or what it shows
        const int ctrl = Qt::ControlModifier;
        QTest::newRow("Ctrl+N 新增名片") << int(Qt::Key_N) << ctrl << "frmD_D";
        QTest::newRow("Ctrl+E 修改名片") << int(Qt::Key_E) << ctrl << "frmD_D";
        QTest::newRow("F2 修改名片") << int(Qt::Key_F2) << 0 << "frmD_D";
        QTest::newRow("Ctrl+R 拜访记录") << int(Qt::Key_R) << ctrl << "frmList";
        QTest::newRow("Ctrl+I 导入名片") << int(Qt::Key_I) << ctrl << "frmInData";
        QTest::newRow("Ctrl+F 查找") << int(Qt::Key_F) << ctrl << "frmFind";
        QTest::newRow("Del 删除名片") << int(Qt::Key_Delete) << 0 << "question 删除名片";
        QTest::newRow("Ctrl+Q 退出") << int(Qt::Key_Q) << ctrl << "question Orvane名片管理";
        QTest::newRow("F1 关于我们") << int(Qt::Key_F1) << 0 << "the publisher's site";
    }
    void keysOfTheMainWindow() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, window);
        mainWindow()->findChild<QWidget*>("DBGrid1")->setFocus();
        QString seen;
        if (window.startsWith(QLatin1String("frm"))) {
            whenModalShown([&](QWidget* modal) {
                seen = modal->objectName();
                modal->close();
            });
        }
        Messages::queueAnswer(false); // a question is answered No
        QTest::keyClick(focused(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        if (!Messages::shown().isEmpty()) {
            seen = QStringLiteral("question ") + Messages::shown().last().caption;
        } else if (!Messages::opened().isEmpty()) {
            seen = QStringLiteral("the publisher's site");
        }
        QCOMPARE(seen, window);
    }

    // Tab walks the main window as it reads: the filter rows with their boxes, the three
    // buttons, then the list.
    void mainWindowTabOrder() {
        QCOMPARE(tabCycle(mainWindow(), QStringLiteral("CheckBox1")).join(u' '),
                 QStringList({"CheckBox1", "Edit1", "Edit2", "CheckBox2", "DBLookupComboBox1",
                              "BitBtnConnect", "CheckBox3", "Edit3", "CheckBox4",
                              "DBLookupComboBox2", "CheckBox5", "DBLookupComboBox3", "BitBtn1",
                              "BitBtn2", "BitBtn3", "DBGrid1"})
                     .join(u' '));
    }

    // A box ticked by typing a value unticks by its access key or by Space, and "查询" then
    // leaves that filter out.
    void filterBoxesTickAndUntickFromTheKeyboard() {
        QWidget* window = mainWindow();
        auto* byName = window->findChild<QCheckBox*>("CheckBox3");
        auto* name = window->findChild<QLineEdit*>("Edit3");
        name->setFocus();
        typeText(name, QStringLiteral("张"));
        QVERIFY(byName->isChecked());
        QTest::keyClick(name, Qt::Key_N, Qt::AltModifier);
        QTRY_VERIFY(!byName->isChecked());
        QCOMPARE(name->text(), QStringLiteral("张")); // Alt+N typed nothing
        QCOMPARE(focused(), byName);
        QTest::keyClick(byName, Qt::Key_Space);
        QVERIFY(byName->isChecked());
        QTest::keyClick(byName, Qt::Key_Space);
        QVERIFY(!byName->isChecked());
        QTest::keyClick(window, Qt::Key_F5); // 查询: both cards, the name not applied
        QCOMPARE(window->findChild<QWidget*>("Label1")->property("text").toString(),
                 QStringLiteral("名片数量：2"));
    }

    // A filter's access key ticks its box and leaves the focus in its field, so that what is
    // typed next is the filter's value.
    void accessKeyTicksAndGoesToTheField_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("field");
        QTest::newRow("Alt+D") << int(Qt::Key_D) << "CheckBox1"
                               << "Edit1";
        QTest::newRow("Alt+L") << int(Qt::Key_L) << "CheckBox2"
                               << "DBLookupComboBox1";
        QTest::newRow("Alt+N") << int(Qt::Key_N) << "CheckBox3"
                               << "Edit3";
        QTest::newRow("Alt+X") << int(Qt::Key_X) << "CheckBox4"
                               << "DBLookupComboBox2";
        QTest::newRow("Alt+P") << int(Qt::Key_P) << "CheckBox5"
                               << "DBLookupComboBox3";
    }
    void accessKeyTicksAndGoesToTheField() {
        QFETCH(int, key);
        QFETCH(QString, box);
        QFETCH(QString, field);
        QWidget* window = mainWindow();
        auto* tick = window->findChild<QCheckBox*>(box);
        window->findChild<QWidget*>("DBGrid1")->setFocus();
        QVERIFY(!tick->isChecked());
        QTest::keyClick(focused(), Qt::Key(key), Qt::AltModifier);
        QVERIFY(tick->isChecked());
        QCOMPARE(focusedName(), field);
    }

    void typingAfterTheAccessKeyFilters() {
        QWidget* window = mainWindow();
        window->findChild<QWidget*>("DBGrid1")->setFocus();
        QTest::keyClick(focused(), Qt::Key_N, Qt::AltModifier);
        typeText(focused(), QStringLiteral("李"));
        QCOMPARE(window->findChild<QLineEdit*>("Edit3")->text(), QStringLiteral("李"));
        QTest::keyClick(focused(), Qt::Key_Return);
        QCOMPARE(window->findChild<QWidget*>("Label1")->property("text").toString(),
                 QStringLiteral("名片数量：1"));
    }

    // F10 opens the menu bar's first menu; Esc closes it again.
    void f10OpensTheMenuBar() {
        QWidget* window = mainWindow();
        auto* cardMenu = window->findChild<QMenu*>("CardMenu");
        QTest::keyClick(focused(), Qt::Key_F10);
        QTRY_VERIFY(cardMenu->isVisible());
        QTest::keyClick(cardMenu, Qt::Key_Escape);
        QTRY_VERIFY(!cardMenu->isVisible());
    }

    // Every input of the main window is named by its label, without padding or colon.
    void mainWindowInputsAreNamed() { QCOMPARE(badlyNamedInputs(mainWindow()), QStringList()); }

    // Every child window: Tab as it reads, its inputs named by their labels (no padding), and
    // Esc closes it as 退出 does.
    void childWindows_data() {
        QTest::addColumn<QStringList>("opening"); // buttons or menu items, window by window
        QTest::addColumn<QStringList>("tabs");    // from the first control round to it
        QTest::newRow("card editor") << QStringList{"SpeedButton1"}
                                     << QStringList{"WebBrowser1",
                                                    "DBLookupComboBox1",
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
                                                    "BitBtn2"};
        QTest::newRow("defaults") << QStringList{"SpeedButton1", "Button1"}
                                  << QStringList{"DBLookupComboBox1", "DBLookupComboBox2",
                                                 "DBLookupComboBox3", "BitBtn1", "BitBtn2"};
        QTest::newRow("visits") << QStringList{"SpeedButton8"}
                                << QStringList{"WebBrowser1", "DBGrid1", "Edit1",   "ComboBox1",
                                               "Edit2",       "BitBtn1", "BitBtn3", "BitBtn2"};
        QTest::newRow("import") << QStringList{"SpeedButton7"}
                                << QStringList{"Button2", "Button1", "DBGrid1", "BitBtn1",
                                               "BitBtn2"};
        QStringList exportTabs;
        for (int box = 1; box <= 25; ++box) {
            exportTabs << QStringLiteral("CheckBox%1").arg(box);
        }
        exportTabs << "SelectAll"
                   << "SelectNone"
                   << "BitBtn2"
                   << "BitBtn3";
        QTest::newRow("export options") << QStringList{"BitBtn2"} << exportTabs;
        QTest::newRow("deleted cards")
            << QStringList{"R1"}
            << QStringList{"DBGrid1", "BitBtn4", "BitBtn3", "BitBtn1", "BitBtn2"};
        QTest::newRow("find") << QStringList{"F1"} << QStringList{"Edit1", "DBGrid1", "BitBtn1"};
    }
    void childWindows() {
        QFETCH(QStringList, opening);
        QFETCH(QStringList, tabs);
        QStringList walked;
        QStringList badNames;
        bool closedByEsc = false;
        std::function<void(int)> openFrom = [&](int step) {
            whenModalShown([&, step](QWidget* window) {
                if (step + 1 < opening.size()) {
                    openFrom(step + 1);
                    press(window, opening[step + 1]);
                    window->close();
                    return;
                }
                walked = tabCycle(window, tabs.first());
                badNames = badlyNamedInputs(window);
                QTest::keyClick(focused(), Qt::Key_Escape);
                closedByEsc = !window->isVisible();
                window->close();
            });
        };
        openFrom(0);
        press(mainWindow(), opening[0]);
        QCOMPARE(walked.join(u' '), tabs.join(u' '));
        QCOMPARE(badNames, QStringList());
        QVERIFY(closedByEsc);
    }

    // Typing in a drop-down jumps to a name by its pinyin or its characters; keys typed
    // after a pause start a new search after the name shown. "|" is such a pause; the editor
    // opens on 北京.
    void typingInADropDownJumps_data() {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("hun") << QStringList{"hun"} << QStringLiteral("湖南");
        QTest::newRow("hn") << QStringList{"hn"} << QStringLiteral("河南");
        QTest::newRow("hn again") << QStringList{"hn", "hn"} << QStringLiteral("湖南");
        QTest::newRow("hlj") << QStringList{"hlj"} << QStringLiteral("黑龙江");
        QTest::newRow("xz") << QStringList{"xz"} << QStringLiteral("西藏");
        QTest::newRow("湖") << QStringList{QStringLiteral("湖")} << QStringLiteral("湖北");
        QTest::newRow("湖南") << QStringList{QStringLiteral("湖南")} << QStringLiteral("湖南");
        QTest::newRow("nothing begins with it") << QStringList{"vv"} << QStringLiteral("北京");
    }
    void typingInADropDownJumps() {
        QFETCH(QStringList, typed);
        QFETCH(QString, shown);
        QString seen;
        whenModalShown([&](QWidget* editor) {
            auto* province = editor->findChild<QComboBox*>("DBLookupComboBox3");
            province->setFocus();
            for (const QString& keys : typed) {
                QTest::qWait(QApplication::keyboardInputInterval() + 100); // a pause
                typeText(province, keys);
            }
            seen = province->currentText();
            Messages::queueSaveAnswer(Messages::SaveAnswer::Discard);
            qobject_cast<QDialog*>(editor)->reject();
        });
        press(mainWindow(), "SpeedButton1");
        QCOMPARE(seen, shown);
    }

    // In the main window's filter, a name found by typing ticks the filter.
    void typingInAFilterDropDownTicksIt() {
        QWidget* window = mainWindow();
        auto* province = window->findChild<QComboBox*>("DBLookupComboBox3");
        province->setFocus();
        typeText(province, QStringLiteral("sh"));
        QCOMPARE(province->currentText(), QStringLiteral("上海"));
        QVERIFY(window->findChild<QCheckBox*>("CheckBox5")->isChecked());
    }

    // Esc (as 退出) in a window with input not saved asks whether to save it: 是 saves and
    // closes, 否 closes without saving, 取消 stays with the input kept; a save refused keeps
    // the window open. With nothing changed it closes without a question.
    void escWithUnsavedInput_data() {
        QTest::addColumn<QStringList>("opening");
        QTest::addColumn<QString>("field"); // typed into, or a drop-down moved by Down
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("answer"); // Messages::SaveAnswer; -1: no question expected
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QString>("stored"); // rows that only the save stores
        QTest::addColumn<int>("rows");
        const QStringList newCard{"SpeedButton1"};
        const QString card = QStringLiteral("名片已修改，要保存吗？");
        const QString wang = QStringLiteral("SELECT ID FROM D_B WHERE BName='王五'");
        const int save = int(Messages::SaveAnswer::Save);
        const int discard = int(Messages::SaveAnswer::Discard);
        const int cancel = int(Messages::SaveAnswer::Cancel);
        QTest::newRow("new card, nothing typed") << newCard << ""
                                                 << "" << -1 << "" << true << wang << 0;
        QTest::newRow("new card, 是") << newCard << "EditB1"
                                      << "王五" << save << card << true << wang << 1;
        QTest::newRow("new card, 否") << newCard << "EditB1"
                                      << "王五" << discard << card << true << wang << 0;
        QTest::newRow("new card, 取消") << newCard << "EditB1"
                                        << "王五" << cancel << card << false << wang << 0;
        QTest::newRow("new card, 是 refused without a name")
            << newCard << "EditB2"
            << "010-1" << save << card << false << "SELECT ID FROM D_B WHERE BPho='010-1'" << 0;
        const QString phone = QStringLiteral("SELECT ID FROM D_B WHERE BPho='010-2'");
        QTest::newRow("changed card, nothing typed") << QStringList{"SpeedButton2"} << ""
                                                     << "" << -1 << "" << true << phone << 0;
        QTest::newRow("changed card, 是") << QStringList{"SpeedButton2"} << "EditB2"
                                          << "010-2" << save << card << true << phone << 1;
        QTest::newRow("changed card, 否") << QStringList{"SpeedButton2"} << "EditB2"
                                          << "010-2" << discard << card << true << phone << 0;
        const QString visit = QStringLiteral("拜访记录已修改，要保存吗？");
        const QString visited = QStringLiteral("SELECT ID FROM DList WHERE LMemo='回访'");
        QTest::newRow("visits, nothing typed") << QStringList{"SpeedButton8"} << ""
                                               << "" << -1 << "" << true << visited << 0;
        QTest::newRow("visits, 是") << QStringList{"SpeedButton8"} << "Edit2"
                                    << "回访" << save << visit << true << visited << 1;
        QTest::newRow("visits, 取消") << QStringList{"SpeedButton8"} << "Edit2"
                                      << "回访" << cancel << visit << false << visited << 0;
        const QStringList defaults{"SpeedButton1", "Button1"};
        const QString chosen = QStringLiteral("默认项已修改，要保存吗？");
        const QString stored = QStringLiteral("SELECT * FROM D_Mr WHERE theType<>'客户'");
        QTest::newRow("defaults, nothing chosen") << defaults << ""
                                                  << "" << -1 << "" << true << stored << 0;
        QTest::newRow("defaults, 是") << defaults << "DBLookupComboBox1"
                                      << "" << save << chosen << true << stored << 1;
        QTest::newRow("defaults, 否") << defaults << "DBLookupComboBox1"
                                      << "" << discard << chosen << true << stored << 0;
    }
    void escWithUnsavedInput() {
        QFETCH(QStringList, opening);
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(int, answer);
        QFETCH(QString, question);
        QFETCH(bool, closed);
        QFETCH(QString, stored);
        QFETCH(int, rows);
        bool closedByEsc = false;
        QString asked;
        std::function<void(int)> openFrom = [&](int step) {
            whenModalShown([&, step](QWidget* window) {
                if (step + 1 < opening.size()) {
                    openFrom(step + 1);
                    press(window, opening[step + 1]);
                    qobject_cast<QDialog*>(window)->reject();
                    return;
                }
                if (auto* combo = window->findChild<QComboBox*>(field)) {
                    combo->setFocus();
                    QTest::keyClick(combo, Qt::Key_Down);
                } else if (auto* edit = window->findChild<QLineEdit*>(field)) {
                    edit->setFocus();
                    edit->selectAll();
                    typeText(edit, text);
                }
                Messages::clearRecord();
                if (answer >= 0) {
                    Messages::queueSaveAnswer(Messages::SaveAnswer(answer));
                }
                QTest::keyClick(focused(), Qt::Key_Escape);
                closedByEsc = !window->isVisible();
                for (const Messages::Shown& shown : Messages::shown()) {
                    if (shown.kind == Messages::Kind::Question) {
                        asked = shown.text;
                    }
                }
                if (auto* edit = window->findChild<QLineEdit*>(field); edit && !closedByEsc) {
                    QCOMPARE(edit->text(), text); // the input is kept
                }
                qobject_cast<QDialog*>(window)->reject();
            });
        };
        openFrom(0);
        press(mainWindow(), opening[0]);
        QCOMPARE(asked, question);
        QCOMPARE(closedByEsc, closed);
        QCOMPARE(m_program->sql().count(stored), rows);
    }

private:
    std::unique_ptr<ProgramFixture> m_program;
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
