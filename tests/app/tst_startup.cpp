// Start-up pieces: the date defaults, the connection string, where the database is looked
// for and which one holds the cards, the password asked for when the card file has one, and
// the closing "." of the error box.

#include "app/startup.h"
#include "db/cipherfile.h"
#include "db/clock.h"
#include "db/connectionsettings.h"
#include "db/connectionstring.h"
#include "db/query.h"
#include "testsupport.h"
#include "ui/common/messages.h"
#include "ui/main/mainwindow.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {
QByteArray hashOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1)
               : QByteArray();
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
}

// A program folder holding a delivered database, and a data home for the user's own copy.
struct CardFolders {
    QTemporaryDir root;
    QString program = root.path() + QStringLiteral("/program/");
    QString delivered = program + QStringLiteral("Data/db.edb");
    QString user = root.path() + QStringLiteral("/data/orvane-cards/");
    QString userDatabase = user + QStringLiteral("Data/db.edb");
    QByteArray dataHomeBefore = qgetenv("XDG_DATA_HOME");

    CardFolders() {
        write(delivered, "delivered");
        qputenv("XDG_DATA_HOME", (root.path() + QStringLiteral("/data")).toUtf8());
        // Open to the unprivileged user the read-only cases run as.
        QFile::setPermissions(root.path(), QFile::ReadOther | QFile::WriteOther | QFile::ExeOther |
                                               QFile::ReadOwner | QFile::WriteOwner |
                                               QFile::ExeOwner);
    }
    ~CardFolders() {
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (dataHomeBefore.isNull()) {
            qunsetenv("XDG_DATA_HOME");
        } else {
            qputenv("XDG_DATA_HOME", dataHomeBefore);
        }
    }
    void makeProgramReadOnly() {
        QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                           QFile::ExeOther);
    }
};

// Root may write into any folder; while one of these lives, the process runs as "nobody" so
// that a read-only folder is read-only to it.
class AsUnprivilegedUser {
public:
    AsUnprivilegedUser() : m_wasRoot(geteuid() == 0) {
        if (m_wasRoot && (setresgid(65534, 65534, 0) != 0 || setresuid(65534, 65534, 0) != 0)) {
            qFatal("cannot switch to the user nobody");
        }
    }
    ~AsUnprivilegedUser() {
        if (m_wasRoot && (setresuid(0, 0, 0) != 0 || setresgid(0, 0, 0) != 0)) {
            qFatal("cannot switch back to root");
        }
    }

private:
    bool m_wasRoot;
};

QString cardFolderAsUser(const QString& programFolder) {
    AsUnprivilegedUser user;
    return cardFolder(programFolder);
}
} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void versionRecordAndIcon() {
        prepareApplication(*qApp);
        QCOMPARE(QApplication::applicationName(), QStringLiteral("Orvane名片管理"));
        QCOMPARE(QApplication::applicationVersion(), QStringLiteral("4.0.0.520"));
        QCOMPARE(QApplication::organizationName(), QStringLiteral("Orvane软件"));
        const QIcon icon = QApplication::windowIcon();
        QVERIFY(!icon.isNull());
        QVERIFY(!icon.pixmap(32, 32).isNull()); // the SVG renders
        QMessageBox box(QMessageBox::Question, QString(), QString(),
                        QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.button(QMessageBox::Yes)->text(), QStringLiteral("是(&Y)"));
    }

    void dateDefaults_data() {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("ordinary") << QDate(2008, 3, 7) << "2008-02-07"
                                  << "2008-03-07";
        QTest::newRow("31 March, leap year") << QDate(2008, 3, 31) << "2008-02-29"
                                             << "2008-03-31";
        QTest::newRow("31 March") << QDate(2009, 3, 31) << "2009-02-28"
                                  << "2009-03-31";
        QTest::newRow("January") << QDate(2009, 1, 5) << "2008-12-05"
                                 << "2009-01-05";
        QTest::newRow("15 January") << QDate(2009, 1, 15) << "2008-12-15"
                                    << "2009-01-15";
        QTest::newRow("31 May") << QDate(2010, 5, 31) << "2010-04-30"
                                << "2010-05-31";
        QTest::newRow("two-digit month") << QDate(2008, 11, 15) << "2008-10-15"
                                         << "2008-11-15";
    }
    void dateDefaults() {
        QFETCH(QDate, today);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QCOMPARE(dateText(today), to);
        QCOMPARE(dateText(oneMonthEarlier(today)), from);
    }

    void connectionStringIsBuiltFromItsPieces() {
        QCOMPARE(cardConnectionString(QStringLiteral("/opt/orvane/")),
                 QStringLiteral(
                     "provider=Microsoft.Jet.OLEDB.4.0;user ID=Admin;Data Source=/opt/orvane/"
                     "Data/db.edb;Mode=Share Deny None;Extended Properties=\"\";"
                     "Jet OLEDB:System database=\"\";Jet OLEDB:Registry Path=\"\";"
                     "Jet OLEDB:Database Password=\"qzt905\";Jet OLEDB:Engine Type=5;"
                     "Jet OLEDB:Database Locking Mode=1;Jet OLEDB:Global Partial Bulk Ops=2;"
                     "Jet OLEDB:Global Bulk Transactions=1;Jet OLEDB:New Database Password=\"\";"
                     "Jet OLEDB:Create System Database=False;Jet OLEDB:Encrypt Database=False;"
                     "Jet OLEDB:Don't Copy Locale on Compact=False;"
                     "Jet OLEDB:Compact Without Replica Repair=False;Jet OLEDB:SFP=False"));
    }

    // Folder names a user may choose: the program finds its database in any of them, and
    // the connection string gives back the whole path.
    void programFolderNames_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("semicolon") << "名片;备份";
        QTest::newRow("double quote") << "a\"b";
        QTest::newRow("single quote") << "Tom's cards";
        QTest::newRow("equals sign") << "x=y";
        QTest::newRow("spaces") << "My Cards  2008";
        QTest::newRow("blanks at the ends") << " cards ";
        QTest::newRow("Chinese") << "名片管理";
        QTest::newRow("all at once") << "\"名片;=备份\" 'x'";
    }
    void programFolderNames() {
        QFETCH(QString, name);
        const QString folder = QStringLiteral("/opt/") + name + QLatin1Char('/');
        const ConnectionString settings = ConnectionString::parse(cardConnectionString(folder));
        QCOMPARE(settings.value(QStringLiteral("Data Source")),
                 folder + QStringLiteral("Data/db.edb"));
        QCOMPARE(settings.value(QStringLiteral("Mode")), QStringLiteral("Share Deny None"));
        QCOMPARE(settings.value(QStringLiteral("Jet OLEDB:Database Password")), databasePassword());

        ProgramFixture program(name);
        insertCard(program.sql(), QStringLiteral("客户"), QStringLiteral("张三"),
                   QStringLiteral("男"));
        program.start();
        QVERIFY(Messages::shown().isEmpty());
        QCOMPARE(frmMain->cardList->recordCount(), 1);
        program.stop();
    }

    // A missing database in a folder whose name holds quotes: the error names the file and
    // never shows the connection string with its password.
    void missingDatabaseErrorShowsNoConnectionString() {
        ProgramFixture program(QStringLiteral("a\"b;c"));
        QVERIFY(QFile::remove(program.database().databasePath()));
        program.start();
        const QString error = lastErrorText();
        QVERIFY2(error.contains(QStringLiteral("a\"b;c")), qPrintable(error));
        QVERIFY2(!error.contains(databasePassword()), qPrintable(error));
        QVERIFY2(!error.contains(QStringLiteral("OLEDB")), qPrintable(error));
    }

    void databaseIsLookedForBesideTheProgram() {
        QTemporaryDir elsewhere;
        const QString before = QDir::currentPath();
        QDir::setCurrent(elsewhere.path());
        const QString folder = programFolder();
        QDir::setCurrent(before);
        QCOMPARE(folder, QCoreApplication::applicationDirPath() + QLatin1Char('/'));
    }

    void cardsStayBesideAWritableProgram() {
        CardFolders folders;
        QCOMPARE(cardFolder(folders.program), folders.program);
        QVERIFY(!QFileInfo::exists(folders.user));
    }

    void aReadOnlyProgramGivesTheUserACopyOfTheDeliveredDatabase() {
        CardFolders folders;
        folders.makeProgramReadOnly();
        QCOMPARE(cardFolderAsUser(folders.program), folders.user);
        QCOMPARE(contents(folders.userDatabase), QByteArray("delivered"));
        const QFile::Permissions permissions = QFile::permissions(folders.userDatabase);
        QVERIFY(permissions.testFlag(QFile::WriteOwner));
        QVERIFY(!(permissions & (QFile::ReadGroup | QFile::ReadOther))); // the user's alone
        QCOMPARE(cardConnectionString(folders.user).section(u';', 2, 2),
                 QStringLiteral("Data Source=") + folders.userDatabase);
    }

    void theUsersCopyIsKept() {
        CardFolders folders;
        write(folders.userDatabase, "my cards");
        folders.makeProgramReadOnly();
        QCOMPARE(cardFolderAsUser(folders.program), folders.user);
        QCOMPARE(contents(folders.userDatabase), QByteArray("my cards"));
        QCOMPARE(contents(folders.delivered), QByteArray("delivered"));
    }

    // A file with the user's own password: start-up asks for it, three tries at most, and
    // goes on with it; a wrong password or a cancel never changes the file.
    void passwordIsAskedFor_data() {
        QTest::addColumn<QStringList>("typed"); // fewer answers than prompts: cancelled
        QTest::addColumn<bool>("starts");
        QTest::addColumn<QStringList>("prompts");
        const QString first = QStringLiteral("名片文件设置了密码。请输入密码：");
        const QString second = QStringLiteral("密码不正确，请重新输入（还可以输入 2 次）：");
        const QString third = QStringLiteral("密码不正确，请重新输入（还可以输入 1 次）：");
        QTest::newRow("right at once") << QStringList{"我的 密码"} << true << QStringList{first};
        QTest::newRow("right at the third try") << QStringList{"我的密码", "", "我的 密码"} << true
                                                << QStringList{first, second, third};
        QTest::newRow("three wrong") << QStringList{"qzt905", "x", "我的 密码 "} << false
                                     << QStringList{first, second, third};
        QTest::newRow("cancelled") << QStringList{"x"} << false << QStringList{first, second};
    }
    void passwordIsAskedFor() {
        QFETCH(QStringList, typed);
        QFETCH(bool, starts);
        QFETCH(QStringList, prompts);
        ScratchDatabase database;
        QCOMPARE(rekeyCardFile(database.databasePath(), builtInDatabasePassword().toUtf8(),
                               QStringLiteral("我的 密码").toUtf8()),
                 0);
        const QByteArray before = hashOf(database.databasePath());
        Messages::setScripted(true);
        for (const QString& password : std::as_const(typed)) {
            Messages::queuePassword(password);
        }
        QCOMPARE(unlockCardFile(database.databasePath()), starts);
        QStringList asked;
        QStringList errors;
        for (const Messages::Shown& shown : Messages::shown()) {
            (shown.kind == Messages::Kind::Password ? asked : errors) << shown.text;
        }
        QCOMPARE(asked, prompts);
        QCOMPARE(databasePassword(),
                 starts ? QStringLiteral("我的 密码") : builtInDatabasePassword());
        if (!starts && typed.size() == 3) {
            QCOMPARE(errors, QStringList{"密码连续 3 次不正确，程序将退出。名片文件没有任何改变，"
                                         "想起密码后请重新启动本程序."});
        } else {
            QVERIFY(errors.isEmpty());
        }
        QCOMPARE(hashOf(database.databasePath()), before);
        setDatabasePassword(QString());
    }

    // Without a password of the user's own, or with no file to open, nothing is asked.
    void noPasswordNothingAsked() {
        ScratchDatabase database;
        Messages::setScripted(true);
        QVERIFY(unlockCardFile(database.databasePath()));
        QVERIFY(QFile::remove(database.databasePath()));
        QVERIFY(unlockCardFile(database.databasePath()));
        QVERIFY(Messages::shown().isEmpty());
        QCOMPARE(databasePassword(), builtInDatabasePassword());
    }

    // The prompt as the user meets it: the box named for assistive technology, typed into,
    // Enter.
    void passwordPromptIsTypedInto() {
        Messages::setScripted(false);
        QString boxName;
        whenModalShown([&boxName](QWidget* prompt) {
            auto* box = prompt->findChild<QLineEdit*>(QStringLiteral("Password"));
            QVERIFY(box);
            QCOMPARE(box->echoMode(), QLineEdit::Password);
            boxName = box->accessibleName();
            QVERIFY(box->hasFocus());
            typeText(box, QStringLiteral("abc 密码"));
            QTest::keyClick(box, Qt::Key_Return);
        });
        const std::optional<QString> typed =
            Messages::askPassword(nullptr, QStringLiteral("名片文件设置了密码。请输入密码："));
        Messages::setScripted(true);
        QCOMPARE(boxName, QStringLiteral("密码"));
        QCOMPARE(typed, std::optional<QString>(QStringLiteral("abc 密码")));
    }

    void errorTextGetsItsFullStop_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "no such table"
                                << "no such table.";
        QTest::newRow("Chinese") << "找不到数据库文件"
                                 << "找不到数据库文件.";
        QTest::newRow("digit") << "error 5"
                               << "error 5.";
        QTest::newRow("full stop") << "done."
                                   << "done.";
        QTest::newRow("bracket") << "(x)"
                                 << "(x)";
        QTest::newRow("exclamation") << "wrong!"
                                     << "wrong!";
        QTest::newRow("empty") << ""
                               << "";
    }
    void errorTextGetsItsFullStop() {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(Messages::errorText(text), shown);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
