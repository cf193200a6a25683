// The command line as a user types it: the program started with options, its exit status and
// what it prints; the options that end the run never open a window.

#include "app/commandline.h"

#include <QProcess>
#include <QTest>

namespace {
struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

// The program started on a display that does not exist: a run that tried to open a window
// would end with Qt's fatal error instead of an exit status.
Run runProgram(const QStringList& arguments) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":99999"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    child.setProcessEnvironment(environment);
    child.start(QStringLiteral(ORVANE_PROGRAM), arguments);
    Run run;
    if (!child.waitForFinished(60000) || child.exitStatus() != QProcess::NormalExit) {
        child.kill();
        child.waitForFinished();
        return run;
    }
    run.exitCode = child.exitCode();
    run.out = QString::fromUtf8(child.readAllStandardOutput());
    run.err = QString::fromUtf8(child.readAllStandardError());
    return run;
}
} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void optionsThatEndTheRun_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("printed");    // on standard output
        QTest::addColumn<QStringList>("complained"); // on standard error
        const QStringList usage = {QStringLiteral("用法：orvane [选项]"),
                                   "--server <连接>",
                                   "--copy-to-server <连接>",
                                   "--copy-from-server <连接>",
                                   QStringLiteral("--scan <照片>…"),
                                   "-h, --help",
                                   "-v, --version",
                                   QStringLiteral("例如：")};
        QTest::newRow("--help") << QStringList{"--help"} << 0 << usage << QStringList();
        QTest::newRow("-h among others")
            << QStringList{"-platform", "offscreen", "-h", "--server", "host=h"} << 0 << usage
            << QStringList();
        QTest::newRow("--version")
            << QStringList{"--version"} << 0 << QStringList{QStringLiteral("Orvane名片管理 4.")}
            << QStringList();
        QTest::newRow("unknown option")
            << QStringList{"--print"} << 2 << QStringList()
            << QStringList{QStringLiteral("不认识的选项“--print”"), "orvane --help"};
        QTest::newRow("a word that is no option")
            << QStringList{QStringLiteral("名片.xlsx")} << 2 << QStringList()
            << QStringList{QStringLiteral("不认识的选项“名片.xlsx”")};
        QTest::newRow("unknown before --help")
            << QStringList{"--print", "--help"} << 2 << QStringList()
            << QStringList{QStringLiteral("不认识的选项“--print”")};
        QTest::newRow("server without its connection")
            << QStringList{"--server"} << 2 << QStringList()
            << QStringList{QStringLiteral("--server 后面要写服务器的连接字符串")};
        QTest::newRow("scan without a photo")
            << QStringList{"--scan", "--help"} << 2 << QStringList()
            << QStringList{QStringLiteral("--scan 后面要写名片照片的文件")};
        QTest::newRow("copy with an empty connection")
            << QStringList{"--copy-to-server="} << 2 << QStringList()
            << QStringList{QStringLiteral("--copy-to-server 后面要写服务器的连接字符串")};
    }

    void optionsThatEndTheRun() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, printed);
        QFETCH(QStringList, complained);
        const Run run = runProgram(arguments);
        QCOMPARE(run.exitCode, exitCode);
        for (const QString& text : printed) {
            QVERIFY2(run.out.contains(text), qPrintable(run.out));
        }
        for (const QString& text : complained) {
            QVERIFY2(run.err.contains(text), qPrintable(run.err));
        }
        QCOMPARE(run.out.isEmpty(), printed.isEmpty());
    }

    // A password on the command line is readable by every local user for the whole run: it is
    // refused, with where it goes instead, and never printed, whether libpq can read the string
    // or not. A string libpq cannot read is named by its fault, not shown.
    void aPasswordOnTheCommandLineIsRefused_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("connection");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        const QString whereInstead = QStringLiteral("~/.pgpass");
        for (const char* option : {"--server", "--copy-to-server", "--copy-from-server"}) {
            const QString flag = QString::fromLatin1(option);
            QTest::addRow("%s keyword", option)
                << flag << QStringLiteral("host=h dbname=d password=Geheim-42") << 2
                << whereInstead;
            QTest::addRow("%s address", option)
                << flag << QStringLiteral("postgresql://zhang:Geheim-42@h/d") << 2 << whereInstead;
            QTest::addRow("%s unbalanced quote", option)
                << flag << QStringLiteral("host=h password='Geheim-42 dbname=d") << 2
                << whereInstead;
        }
        QTest::newRow("unreadable, no password")
            << QStringLiteral("--copy-to-server") << QStringLiteral("host=h dbname='Geheim-42") << 1
            << QStringLiteral("连接字符串无法识别（dbname 处）");
    }
    void aPasswordOnTheCommandLineIsRefused() {
        QFETCH(QString, option);
        QFETCH(QString, connection);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        const Run run = runProgram({option, connection});
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2((run.out + run.err).contains(said), qPrintable(run.out + run.err));
        QVERIFY2(!(run.out + run.err).contains(QStringLiteral("Geheim")),
                 qPrintable(run.out + run.err));
    }

    // What the window's run is given: the connection after a space or "=", Qt's own options
    // left to Qt.
    void optionsThatOpenTheWindow_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("server");
        QTest::newRow("none") << QStringList{} << QString();
        QTest::newRow("after a space")
            << QStringList{"--server", "host=h dbname=d"} << QStringLiteral("host=h dbname=d");
        QTest::newRow("after =") << QStringList{"--server=host=h dbname=d"}
                                 << QStringLiteral("host=h dbname=d");
        QTest::newRow("with Qt's options")
            << QStringList{"-platform", "offscreen", "--server", "postgresql://h/d",
                           "-reverse",  "-style",    "Fusion"}
            << QStringLiteral("postgresql://h/d");
    }

    void optionsThatOpenTheWindow() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, server);
        const CommandLine command = parseCommandLine(QStringList{"orvane"} + arguments);
        QCOMPARE(command.error, QString());
        QVERIFY(!command.endsWithoutWindow());
        QCOMPARE(command.server, server);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
