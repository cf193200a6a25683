// The three kinds of box as the user meets them, not scripted: Qt's texts in Chinese on
// their buttons, the access keys Y and N, and the default button Enter presses. The file
// dialog: where it starts, and Chinese texts and dates under a session that is not Chinese.

#include "app/startup.h"
#include "testsupport.h"
#include "ui/common/messages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTemporaryDir>
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
            answer = Messages::confirm(
                nullptr, QStringLiteral("确定要删除名片 张三 吗？删除后可在“已删除名片”中恢复。"),
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

    // The session is C.UTF-8 (the tests' own); the program's formats are Chinese all the same.
    void fileDialogStartsInDocumentsThenInTheLastFolder() {
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", home.path().toUtf8());
        QDir(home.path()).mkpath(QStringLiteral("Documents/名片"));
        QDir(home.path()).mkpath(QStringLiteral("导出/子文件夹"));
        QFile workbook(home.filePath(QStringLiteral("导出/名片.xlsx")));
        QVERIFY(workbook.open(QIODevice::WriteOnly));
        workbook.write(QByteArray(3000, 'x'));
        workbook.close();

        QStringList startedIn;
        QString folderType;
        QString modified;
        whenModalShown([&](QWidget* window) { startedIn << chooseIn(window, QString()); });
        QCOMPARE(Messages::openFileName(nullptr, QStringLiteral("打开"), QString()), QString());
        whenModalShown([&](QWidget* window) {
            startedIn << chooseIn(window, home.filePath(QStringLiteral("导出/名片.xlsx")));
        });
        QCOMPARE(Messages::openFileName(nullptr, QStringLiteral("打开"), QString()),
                 home.filePath(QStringLiteral("导出/名片.xlsx")));
        whenModalShown([&](QWidget* window) {
            auto* model = window->findChild<QFileSystemModel*>();
            const QModelIndex folder = model->index(home.filePath(QStringLiteral("导出/子文件夹")));
            QTRY_VERIFY(model->data(folder.siblingAtColumn(2)).isValid());
            folderType = model->data(folder.siblingAtColumn(2)).toString();
            modified = model->data(folder.siblingAtColumn(3)).toString();
            startedIn << chooseIn(window, QString());
        });
        Messages::openFileName(nullptr, QStringLiteral("打开"), QString());
        qputenv("HOME", oldHome);

        QCOMPARE(startedIn, QStringList({home.filePath(QStringLiteral("Documents")),
                                         home.filePath(QStringLiteral("Documents")),
                                         home.filePath(QStringLiteral("导出"))}));
        QCOMPARE(folderType, QStringLiteral("文件夹"));
        QVERIFY2(modified.startsWith(QDate::currentDate().toString(QStringLiteral("yyyy/M/d"))),
                 qPrintable(modified)); // as 2026/12/10 09:05, not "10 Dec 2026"
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

private:
    // The folder the file dialog shows; then it takes path (typed as the file name and
    // accepted with Enter) or is cancelled.
    static QString chooseIn(QWidget* window, const QString& path) {
        auto* dialog = qobject_cast<QFileDialog*>(window);
        if (!dialog) {
            return QStringLiteral("not a file dialog");
        }
        const QString folder = dialog->directory().absolutePath();
        if (path.isEmpty()) {
            dialog->reject();
        } else {
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            name->setText(path);
            QTest::keyClick(name, Qt::Key_Return);
        }
        return folder;
    }
};

// The program makes its formats Chinese before the application object exists; so does this test.
int main(int argc, char** argv) {
    useChineseFormats();
    QApplication app(argc, argv);
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    TestMessages test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_messages.moc"
