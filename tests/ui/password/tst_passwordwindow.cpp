// 设置密码 through the main window's pop-up menu on the real engine: a password set, changed
// and removed re-keys the card file with every card kept, the program goes on with the new
// key, and a mistake leaves the file as it was with one box that says what to correct.

#include "db/cardpassword.h"
#include "db/connectionsettings.h"
#include "db/engineerror.h"
#include "db/query.h"
#include "testsupport.h"
#include "ui/common/gbklineedit.h"
#include "ui/common/messages.h"
#include "ui/main/mainwindow.h"
#include "ui/password/passwordwindow.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>

class TestPasswordWindow : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_program = std::make_unique<ProgramFixture>();
        {
            DirectSql seed(m_program->database().connectionString());
            insertCard(seed, "客户", "李四", "男");
        }
        m_program->start();
    }
    void cleanup() {
        m_program.reset();
        setDatabasePassword(QString());
    }

    void setChangeRemove() {
        QVERIFY(inPasswordWindow([](TfrmPassword* window) {
            QCOMPARE(window->windowTitle(), QStringLiteral("设置密码"));
            QVERIFY(!window->Edit1->isEnabled());
            QVERIFY(!window->BitBtn2->isEnabled());
            checkEveryControlShowsAtMinimumSize(window);
            fill(window, {}, QStringLiteral("我的 密码1"), QStringLiteral("我的 密码1"));
            QTest::mouseClick(window->BitBtn1, Qt::LeftButton);
        }));
        QCOMPARE(lastErrorText(), QString());
        QCOMPARE(plainTexts(),
                 QStringList{"密码已设置。以后启动本程序时，要输入这个密码才能打开名片。"});
        QVERIFY(opensWith(QStringLiteral("我的 密码1")));
        QVERIFY(!opensWith(builtInDatabasePassword()));
        frmMain->myRef(); // the program goes on with the new key
        QCOMPARE(frmMain->cardList->recordCount(), 1);

        Messages::clearRecord();
        QVERIFY(inPasswordWindow([](TfrmPassword* window) {
            QVERIFY(window->Edit1->isEnabled());
            QVERIFY(window->BitBtn2->isEnabled());
            fill(window, QStringLiteral("我的 密码1"), QStringLiteral("second\"2;"),
                 QStringLiteral("second\"2;"));
            QTest::mouseClick(window->BitBtn1, Qt::LeftButton);
        }));
        QCOMPARE(lastErrorText(), QString());
        QVERIFY(opensWith(QStringLiteral("second\"2;")));

        Messages::clearRecord();
        Messages::queueAnswer(true);
        QVERIFY(inPasswordWindow([](TfrmPassword* window) {
            fill(window, QStringLiteral("second\"2;"), {}, {});
            QTest::mouseClick(window->BitBtn2, Qt::LeftButton);
        }));
        QCOMPARE(lastErrorText(), QString());
        QCOMPARE(plainTexts(), QStringList{"密码已去掉。"});
        QVERIFY(opensWith(builtInDatabasePassword()));
        QCOMPARE(databasePassword(), builtInDatabasePassword());
        frmMain->myRef();
        QCOMPARE(frmMain->cardList->recordCount(), 1);
    }

    // Each mistake shows one box, keeps the window open and the file as it was.
    void mistakes_data() {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("fresh");
        QTest::addColumn<QString>("again");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("error");
        QTest::newRow("wrong current password") << "旧密码x"
                                                << "新"
                                                << "新"
                                                << "BitBtn1"
                                                << "当前密码不正确，请重新输入.";
        QTest::newRow("wrong current password, removing") << "旧"
                                                          << ""
                                                          << ""
                                                          << "BitBtn2"
                                                          << "当前密码不正确，请重新输入.";
        QTest::newRow("no new password") << "旧密码"
                                         << ""
                                         << ""
                                         << "BitBtn1"
                                         << "请输入新密码.";
        QTest::newRow("the two differ") << "旧密码"
                                        << "新的"
                                        << "新 的"
                                        << "BitBtn1"
                                        << "两次输入的新密码不一样，请重新输入.";
    }
    void mistakes() {
        QFETCH(QString, current);
        QFETCH(QString, fresh);
        QFETCH(QString, again);
        QFETCH(QString, button);
        QFETCH(QString, error);
        changeCardPassword(m_program->store().engine(), QStringLiteral("旧密码"));
        Messages::clearRecord();
        QVERIFY(inPasswordWindow([&](TfrmPassword* window) {
            fill(window, current, fresh, again);
            QTest::mouseClick(window->findChild<QPushButton*>(button), Qt::LeftButton);
            QVERIFY(window->isVisible());
        }));
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(lastErrorText(), error);
        QVERIFY(opensWith(QStringLiteral("旧密码")));
        QCOMPARE(databasePassword(), QStringLiteral("旧密码"));
    }

    // Another program has the file open: the box says so, and nothing changes.
    void refusedWhileAnotherProgramUsesTheFile() {
        DirectSql other(m_program->database().connectionString());
        QCOMPARE(other.count(QStringLiteral("select ID from D_B")), 1);
        QVERIFY(inPasswordWindow([](TfrmPassword* window) {
            fill(window, {}, QStringLiteral("abc"), QStringLiteral("abc"));
            QTest::mouseClick(window->BitBtn1, Qt::LeftButton);
            QVERIFY(window->isVisible());
        }));
        QVERIFY2(lastErrorText().contains(QStringLiteral("另一个程序正在使用名片文件")),
                 qPrintable(lastErrorText()));
        QCOMPARE(databasePassword(), builtInDatabasePassword());
        QCOMPARE(other.count(QStringLiteral("select ID from D_B")), 1);
        frmMain->myRef();
        QCOMPARE(frmMain->cardList->recordCount(), 1);
    }

    // Every box is named by its label for assistive technology.
    void boxesAreNamedByTheirLabels() {
        QVERIFY(inPasswordWindow([](TfrmPassword* window) {
            QCOMPARE(window->Edit1->accessibleName(), QStringLiteral("当前密码"));
            QCOMPARE(window->Edit2->accessibleName(), QStringLiteral("新密码"));
            QCOMPARE(window->Edit3->accessibleName(), QStringLiteral("再输入一次"));
            for (GbkLineEdit* box : {window->Edit1, window->Edit2, window->Edit3}) {
                QCOMPARE(box->echoMode(), QLineEdit::Password);
                QCOMPARE(box->maxBytes(), MaxPasswordBytes);
            }
        }));
    }

private:
    static void fill(TfrmPassword* window, const QString& current, const QString& fresh,
                     const QString& again) {
        const std::pair<GbkLineEdit*, QString> boxes[] = {
            {window->Edit1, current}, {window->Edit2, fresh}, {window->Edit3, again}};
        for (const auto& [box, text] : boxes) {
            if (box->isEnabled()) {
                box->setFocus();
                box->clear();
                typeText(box, text);
            }
        }
    }

    static QStringList plainTexts() {
        QStringList texts;
        for (const Messages::Shown& shown : Messages::shown()) {
            if (shown.kind == Messages::Kind::Plain) {
                texts << shown.text;
            }
        }
        return texts;
    }

    bool opensWith(const QString& key) {
        QString text = m_program->database().connectionString();
        text.replace(QStringLiteral("Password=\"%1\"")
                         .arg(QString(databasePassword()).replace(u'"', QStringLiteral("\"\""))),
                     QStringLiteral("Password=\"%1\"")
                         .arg(QString(key).replace(u'"', QStringLiteral("\"\""))));
        try {
            DirectSql sql(text);
            return sql.count(QStringLiteral("select ID from D_B where BName='李四'")) == 1;
        } catch (const EngineError&) {
            return false;
        }
    }

    [[nodiscard]] bool inPasswordWindow(const std::function<void(TfrmPassword*)>& steps) {
        auto ran = std::make_shared<bool>(false);
        whenModalShown([steps, ran](QWidget* window) {
            auto* password = qobject_cast<TfrmPassword*>(window);
            if (password) {
                *ran = true;
                steps(password);
            }
            window->close();
        });
        frmMain->findChild<QAction*>("P1")->trigger();
        return *ran;
    }

    std::unique_ptr<ProgramFixture> m_program;
};

QTEST_MAIN(TestPasswordWindow)
#include "tst_passwordwindow.moc"
