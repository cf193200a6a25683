// The three kinds of box as the user meets them, not scripted: Qt's texts in Chinese on
// their buttons, the access keys Y and N, and the default button Enter presses.

#include "app/startup.h"
#include "testsupport.h"
#include "ui/common/messages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>

namespace {
enum class Box { Plain, Error, DeleteQuestion, ExitQuestion };
} // namespace

class TestMessages : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { prepareApplication(*qApp); }
    void init() { Messages::setScripted(false); }
    void cleanup() { Messages::setScripted(true); }

    void boxesReadChineseAndAnswerByKey_data() {
        QTest::addColumn<int>("box");
        QTest::addColumn<int>("key");
        QTest::addColumn<QStringList>("buttons"); // as shown, access key marked with "&"
        QTest::addColumn<bool>("yes");            // the answer of a question
        const QStringList ok = {"确定"};
        const QStringList yesNo = {"是(&Y)", "否(&N)"};
        QTest::newRow("plain, Enter") << int(Box::Plain) << int(Qt::Key_Return) << ok << false;
        QTest::newRow("error, Enter") << int(Box::Error) << int(Qt::Key_Return) << ok << false;
        QTest::newRow("delete, Y") << int(Box::DeleteQuestion) << int(Qt::Key_Y) << yesNo << true;
        QTest::newRow("delete, N") << int(Box::DeleteQuestion) << int(Qt::Key_N) << yesNo << false;
        QTest::newRow("delete, Enter answers No")
            << int(Box::DeleteQuestion) << int(Qt::Key_Return) << yesNo << false;
        QTest::newRow("exit, Y") << int(Box::ExitQuestion) << int(Qt::Key_Y) << yesNo << true;
        QTest::newRow("exit, N") << int(Box::ExitQuestion) << int(Qt::Key_N) << yesNo << false;
        QTest::newRow("exit, Enter answers Yes")
            << int(Box::ExitQuestion) << int(Qt::Key_Return) << yesNo << true;
    }
    void boxesReadChineseAndAnswerByKey() {
        QFETCH(int, box);
        QFETCH(int, key);
        QFETCH(QStringList, buttons);
        QFETCH(bool, yes);

        QStringList shown;
        bool pressed = false;
        whenModalShown([&](QWidget* window) {
            auto* messageBox = qobject_cast<QMessageBox*>(window);
            QVERIFY(messageBox);
            for (const QMessageBox::StandardButton which :
                 {QMessageBox::Ok, QMessageBox::Yes, QMessageBox::No}) {
                if (QAbstractButton* button = messageBox->button(which)) {
                    shown << button->text();
                }
            }
            QTest::keyClick(messageBox, Qt::Key(key));
            pressed = true;
        });
        bool answer = false;
        switch (Box(box)) {
        case Box::Plain:
            Messages::info(nullptr, QStringLiteral("恭喜！恭喜！名片 新增 保存成功！"));
            break;
        case Box::Error:
            Messages::error(nullptr, QStringLiteral("找不到数据库文件"));
            break;
        case Box::DeleteQuestion:
            answer = Messages::confirm(nullptr,
                                       QStringLiteral("确认要删除名片信息吗？该删除将不可恢复！"),
                                       QStringLiteral("删除名片"), false);
            break;
        case Box::ExitQuestion:
            answer =
                Messages::confirm(nullptr, QStringLiteral("您确认要退出 Orvane名片管理 吗？ ^_^ "),
                                  QStringLiteral("Orvane名片管理"), true);
            break;
        }
        QVERIFY(pressed);
        QCOMPARE(shown, buttons);
        QCOMPARE(answer, yes);
    }

    // Scripted mode still takes its answers from the queue and records what was shown.
    void scriptedModeKeepsWorking() {
        Messages::setScripted(true);
        Messages::queueAnswer(true);
        QVERIFY(Messages::confirm(nullptr, QStringLiteral("确认？"), QStringLiteral("删除名片"),
                                  false));
        QVERIFY(!Messages::confirm(nullptr, QStringLiteral("确认？"), QStringLiteral("删除名片"),
                                   false));
        QCOMPARE(Messages::shown().size(), 2);
    }
};

QTEST_MAIN(TestMessages)
#include "tst_messages.moc"
