// Start-up pieces: the date defaults, the connection string, where the database is looked
// for, and the closing "." of the error box.

#include "app/startup.h"
#include "db/clock.h"
#include "db/connectionsettings.h"
#include "ui/common/messages.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QTemporaryDir>
#include <QTest>

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

    void databaseIsLookedForBesideTheProgram() {
        QTemporaryDir elsewhere;
        const QString before = QDir::currentPath();
        QDir::setCurrent(elsewhere.path());
        const QString folder = programFolder();
        QDir::setCurrent(before);
        QCOMPARE(folder, QCoreApplication::applicationDirPath() + QLatin1Char('/'));
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
