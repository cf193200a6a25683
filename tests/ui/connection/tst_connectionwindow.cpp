// 连接服务器 against the private test server, as a login role whose password the server
// checks: a wrong password and a good one, what is kept for the next start (connection.conf
// without the password, the password file only with 记住密码), and that no box shows the
// password.

#include "db/serverlogin.h"
#include "testserver.h"
#include "testsupport.h"
#include "ui/common/messages.h"
#include "ui/connection/connectionwindow.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString GoodPassword = QStringLiteral("Good:pass\\1");

QString readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
} // namespace

class TestConnectionWindow : public QObject {
    Q_OBJECT

private slots:
    void init() {
        REQUIRE_TEST_SERVER();
        m_home = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", (m_home->path() + QStringLiteral("/config")).toUtf8());
        qputenv("PGPASSFILE", (m_home->path() + QStringLiteral("/pgpass")).toUtf8());
        m_database = std::make_unique<ScratchServerDatabase>();
        m_user = QStringLiteral("login_%1").arg(QCoreApplication::applicationPid());
        m_database->run(QStringLiteral("DROP ROLE IF EXISTS %1").arg(m_user));
        m_database->run(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%2' IN ROLE "
                                       "orvane_password_users")
                            .arg(m_user, QString(GoodPassword).replace(u'\'', "''")));
        m_database->run(
            QStringLiteral("GRANT ALL ON DATABASE %1 TO %2").arg(m_database->name(), m_user));
        Messages::setScripted(true);
        m_window = std::make_unique<TfrmConnect>(nullptr, m_local.databasePath());
        m_window->show();
    }

    void cleanup() {
        m_window.reset();
        if (m_database) {
            m_database->run(QStringLiteral("DROP OWNED BY %1").arg(m_user));
            m_database.reset();
            ScratchServerDatabase().run(QStringLiteral("DROP ROLE IF EXISTS %1").arg(m_user));
        }
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("PGPASSFILE");
    }

    void testConnection_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("shown");
        QTest::newRow("wrong password")
            << QStringLiteral("wrong-one") << "（用户 USER 的密码不正确）.";
        QTest::newRow("no password")
            << QString() << "需要密码，请填写密码（服务器要求密码，但没有提供密码）.";
        QTest::newRow("good password") << GoodPassword << "连接成功：服务器 ";
    }
    void testConnection() {
        QFETCH(QString, password);
        QFETCH(QString, shown);
        fillServer(password);
        click("BitBtnTest");
        QCOMPARE(Messages::shown().size(), 1);
        const Messages::Shown box = Messages::shown().first();
        // libpq's reason, said in Chinese.
        QVERIFY2(box.text.contains(shown.replace(QStringLiteral("USER"), m_user)),
                 qPrintable(box.text));
        if (password != GoodPassword) {
            QCOMPARE(box.kind, Messages::Kind::Error);
        }
        QVERIFY(password.isEmpty() || !box.text.contains(password));
        QVERIFY(!QFile::exists(connectionConfigPath()));
    }

    void wrongPasswordKeepsNothing() {
        fillServer(QStringLiteral("wrong-one"));
        m_window->findChild<QCheckBox*>("CheckRemember")->setChecked(true);
        click("BitBtnOk");
        QVERIFY(lastErrorText().contains(QStringLiteral("用户 %1 的密码不正确").arg(m_user)));
        QVERIFY(m_window->isVisible());
        QVERIFY(!QFile::exists(connectionConfigPath()));
        QVERIFY(!QFile::exists(passwordFilePath()));
    }

    void goodPasswordIsKept_data() {
        QTest::addColumn<bool>("remember");
        QTest::newRow("记住密码") << true;
        QTest::newRow("asked at start") << false;
    }
    void goodPasswordIsKept() {
        QFETCH(bool, remember);
        const QString otherLine = QStringLiteral("otherhost:5432:*:someone:secret");
        QFile other(passwordFilePath());
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write((otherLine + u'\n').toUtf8());
        other.close();
        other.setPermissions(QFile::ReadOwner | QFile::WriteOwner); // as libpq wants it
        QString chosen = QStringLiteral("none");
        connect(m_window.get(), &TfrmConnect::registerChosen,
                [&chosen](const QString& connection) { chosen = connection; });

        fillServer(GoodPassword);
        m_window->findChild<QCheckBox*>("CheckRemember")->setChecked(remember);
        click("BitBtnOk");
        QCOMPARE(lastErrorText(), QString());
        QVERIFY(!m_window->isVisible());
        QVERIFY(chosen.contains(m_user));

        const QString config = readAll(connectionConfigPath());
        QVERIFY2(config.contains(QStringLiteral("user=") + m_user), qPrintable(config));
        QVERIFY(config.contains(QStringLiteral("dbname=") + m_database->name()));
        QVERIFY(!config.contains(GoodPassword) && !config.contains(QStringLiteral("password")));
        const RegisterChoice kept = loadRegisterChoice();
        QVERIFY(kept.onServer);
        QCOMPARE(kept.user, m_user);

        const QString passwords = readAll(passwordFilePath());
        QVERIFY(passwords.startsWith(otherLine + u'\n'));
        QCOMPARE(passwordRemembered(kept), remember);
        if (remember) {
            const QFile::Permissions everyone =
                QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther |
                QFile::ExeOther;
            QCOMPARE(QFile::permissions(passwordFilePath()) & everyone,
                     QFile::ReadOwner | QFile::WriteOwner);
            // libpq itself logs in with the remembered password.
            QVERIFY(probeServer(kept.connectionString()).connected);
        } else {
            QVERIFY(probeServer(kept.connectionString()).needsPassword);
        }
        for (const Messages::Shown& box : Messages::shown()) {
            QVERIFY(!box.text.contains(GoodPassword));
        }

        // Opened again, the window shows the kept choice; 本机文件 removes it.
        TfrmConnect again(nullptr, m_local.databasePath());
        connect(&again, &TfrmConnect::registerChosen,
                [&chosen](const QString& connection) { chosen = connection; });
        QVERIFY(again.findChild<QRadioButton*>("RadioServer")->isChecked());
        QCOMPARE(again.findChild<QLineEdit*>("EditUser")->text(), m_user);
        QCOMPARE(again.findChild<QCheckBox*>("CheckRemember")->isChecked(), remember);
        QVERIFY(again.findChild<QLineEdit*>("EditPassword")->text().isEmpty());
        again.findChild<QRadioButton*>("RadioLocal")->setChecked(true);
        QVERIFY(!again.findChild<QLineEdit*>("EditHost")->isEnabled());
        again.findChild<QPushButton*>("BitBtnOk")->click();
        QVERIFY(!QFile::exists(connectionConfigPath()));
        QCOMPARE(chosen, QString());
    }

    void badInputIsRefused_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("message");
        QTest::newRow("port not a number") << "54x"
                                           << "u"
                                           << "端口应为 1 到 65535 之间的数字.";
        QTest::newRow("port too high") << "70000"
                                       << "u"
                                       << "端口应为 1 到 65535 之间的数字.";
        QTest::newRow("no user") << "5432"
                                 << ""
                                 << "请填写数据库和用户.";
    }
    void badInputIsRefused() {
        QFETCH(QString, port);
        QFETCH(QString, user);
        QFETCH(QString, message);
        fillServer(QString());
        edit("EditPort")->setText(port);
        edit("EditUser")->setText(user);
        click("BitBtnOk");
        QCOMPARE(lastErrorText(), message);
        QVERIFY(!QFile::exists(connectionConfigPath()));
    }

    // 加密连接 as written for the next start; the test server's socket takes any of them.
    void encryptionIsKept_data() {
        QTest::addColumn<QString>("radio");
        QTest::addColumn<QString>("rootFile");
        QTest::addColumn<QStringList>("written");
        // Any file: the test server's socket uses no TLS.
        const QString root = QDir::tempPath() + QStringLiteral("/orvane-test-root.crt");
        QFile file(root);
        file.open(QIODevice::WriteOnly);
        QTest::newRow("验证服务器证书, the system's")
            << "RadioVerify" << QString()
            << QStringList{"sslmode=verify-full", "sslrootcert=" + systemRootCertificates()};
        QTest::newRow("验证服务器证书, a file")
            << "RadioVerify" << root << QStringList{"sslmode=verify-full", "sslrootcert=" + root};
        QTest::newRow("只加密") << "RadioEncrypt" << QString() << QStringList{"sslmode=require"};
        QTest::newRow("不加密, this computer")
            << "RadioPlain" << QString() << QStringList{"sslmode=disable"};
    }
    void encryptionIsKept() {
        QFETCH(QString, radio);
        QFETCH(QString, rootFile);
        QFETCH(QStringList, written);
        fillServer(GoodPassword);
        m_window->findChild<QRadioButton*>(radio)->setChecked(true);
        Messages::queueFileName(rootFile);
        if (!rootFile.isEmpty()) {
            click("BitBtnRootFile");
        }
        click("BitBtnOk");
        QCOMPARE(lastErrorText(), QString());
        const QString config = readAll(connectionConfigPath());
        for (const QString& keyword : written) {
            QVERIFY2(config.contains(keyword), qPrintable(config));
        }
        TfrmConnect again(nullptr, m_local.databasePath());
        QVERIFY(again.findChild<QRadioButton*>(radio)->isChecked());
        QCOMPARE(again.findChild<QLineEdit*>("EditRootFile")->text(), rootFile);
    }

    // Towards another computer, 不加密 asks first; answered No, nothing is tried or kept.
    void plainTextToAnotherComputerAsksFirst() {
        fillServer(GoodPassword);
        edit("EditHost")->setText(QStringLiteral("cards.example.com"));
        m_window->findChild<QRadioButton*>("RadioPlain")->setChecked(true);
        Messages::queueAnswer(false);
        click("BitBtnOk");
        QCOMPARE(Messages::shown().last().kind, Messages::Kind::Question);
        QVERIFY(Messages::shown().last().text.contains(QStringLiteral("明文")));
        QVERIFY(m_window->isVisible());
        QVERIFY(!QFile::exists(connectionConfigPath()));
    }

    // Keywords written into connection.conf by hand stay through the window; a password
    // written there does not.
    void keywordsWrittenByHandAreKept() {
        QDir().mkpath(QFileInfo(connectionConfigPath()).absolutePath());
        QFile config(connectionConfigPath());
        QVERIFY(config.open(QIODevice::WriteOnly));
        const RegisterChoice server = registerChoiceFrom(m_database->connectionString());
        config.write(
            QStringLiteral("host=%1 port=%2 dbname=%3 user=%4 sslmode=verify-full "
                           "sslrootcert=%5 connect_timeout=7 target_session_attrs=any "
                           "password=Hand-written-1\n")
                .arg(server.host, server.port, server.database, m_user, systemRootCertificates())
                .toUtf8());
        config.close();
        TfrmConnect window(nullptr, m_local.databasePath());
        window.findChild<QLineEdit*>("EditPassword")->setText(GoodPassword);
        window.findChild<QPushButton*>("BitBtnOk")->click();
        QCOMPARE(lastErrorText(), QString());
        const QString kept = readAll(connectionConfigPath());
        QVERIFY2(kept.contains(QStringLiteral("connect_timeout=7")) &&
                     kept.contains(QStringLiteral("target_session_attrs=any")) &&
                     kept.contains(QStringLiteral("sslmode=verify-full")),
                 qPrintable(kept));
        QVERIFY(!kept.contains(QStringLiteral("password")) && !kept.contains("Hand-written"));
    }

    void controlsAreNamed() {
        for (const char* name :
             {"EditHost", "EditPort", "EditDatabase", "EditUser", "EditPassword", "EditRootFile"}) {
            QVERIFY2(!edit(name)->accessibleName().isEmpty(), name);
        }
        QCOMPARE(edit("EditPassword")->accessibleName(), QStringLiteral("密码"));
        checkEveryControlShowsAtMinimumSize(m_window.get());
    }

private:
    QLineEdit* edit(const char* name) { return m_window->findChild<QLineEdit*>(name); }
    void click(const char* name) {
        QPushButton* button = m_window->findChild<QPushButton*>(name);
        QVERIFY(button && button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // The window's server boxes filled with the test server's socket, port and database, as
    // the role with a checked password.
    void fillServer(const QString& password) {
        const RegisterChoice server = registerChoiceFrom(m_database->connectionString());
        m_window->findChild<QRadioButton*>("RadioServer")->setChecked(true);
        edit("EditHost")->setText(server.host);
        edit("EditPort")->setText(server.port);
        edit("EditDatabase")->setText(server.database);
        edit("EditUser")->setText(m_user);
        edit("EditPassword")->setText(password);
    }

    ScratchDatabase m_local;
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<ScratchServerDatabase> m_database;
    QString m_user;
    std::unique_ptr<TfrmConnect> m_window;
};

QTEST_MAIN(TestConnectionWindow)
#include "tst_connectionwindow.moc"
