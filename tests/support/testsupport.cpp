#include "testsupport.h"

#include "app/program.h"
#include "db/clock.h"
#include "db/connectionsettings.h"
#include "db/sqlcipherconnection.h"
#include "db/sqltext.h"
#include "ui/common/messages.h"
#include "ui/exchange/importwindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <xlsxwriter.h>

ScratchDatabase::ScratchDatabase(const QString& folderName)
    : m_folder(folderName.isEmpty()
                   ? m_dir.path() + QLatin1Char('/')
                   : m_dir.path() + QLatin1Char('/') + folderName + QLatin1Char('/')) {
    QDir().mkpath(m_folder + QStringLiteral("Data"));
    if (!QFile::copy(deliveredPath(), databasePath())) {
        qFatal("cannot copy the delivered database %s", qPrintable(deliveredPath()));
    }
    QFile::setPermissions(databasePath(), QFile::ReadOwner | QFile::WriteOwner);
}

QString ScratchDatabase::deliveredPath() {
    return QStringLiteral(ORVANE_DELIVERED_DB);
}

QString ScratchDatabase::folder() const {
    return m_folder;
}

QString ScratchDatabase::databasePath() const {
    return folder() + QStringLiteral("Data/db.edb");
}

QString ScratchDatabase::connectionString() const {
    return cardConnectionString(folder());
}

struct DirectSql::Impl {
    SqlCipherConnection connection;
};

DirectSql::DirectSql(const QString& connectionString) : d(std::make_unique<Impl>()) {
    d->connection.setConnectionString(connectionString);
}

DirectSql::~DirectSql() = default;

void DirectSql::exec(const QString& sql) {
    d->connection.execute(sql);
}

QString DirectSql::scalar(const QString& sql) {
    const auto result = d->connection.select(sql);
    return result->rowCount() > 0 ? result->text(0, 0) : QString();
}

int DirectSql::count(const QString& sql) {
    return d->connection.select(sql)->rowCount();
}

ProgramFixture::ProgramFixture(const QString& folderName) : m_db(folderName) {
    m_ownConfig = qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME");
    if (m_ownConfig) {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_db.folder() + QStringLiteral("config")));
    }
    Messages::setScripted(true);
    Clock::setFixedToday(QDate(2008, 3, 7));
    setProgramFolder(m_db.folder());
    QApplication::setFont(QFont(QStringLiteral("Arial")));
}

ProgramFixture::~ProgramFixture() {
    stop();
    if (m_ownConfig) {
        qunsetenv("XDG_CONFIG_HOME");
    }
    setProgramFolder(QString());
    Clock::setFixedToday(QDate());
}

DirectSql& ProgramFixture::sql() {
    if (!m_sql) {
        m_sql = std::make_unique<DirectSql>(m_db.connectionString());
    }
    return *m_sql;
}

CardStore& ProgramFixture::store() {
    return m_program->store();
}

void ProgramFixture::create(TfrmMain::FirstList firstList) {
    m_program = std::make_unique<Program>(firstList);
}

void ProgramFixture::start() {
    create();
    frmMain->show();
    QVERIFY(QTest::qWaitForWindowExposed(frmMain));
    // Active before a test opens anything over it: a late activation of the main window
    // would take the focus from the window the test works in.
    QVERIFY(QTest::qWaitForWindowActive(frmMain));
}

void ProgramFixture::stop() {
    if (m_program) {
        Messages::queueAnswer(true);
        frmMain->close();
        m_program.reset();
    }
    Messages::setScripted(true);
}

CardValues cardValues(const QString& type, const QString& name, const QString& sex,
                      const QString& province) {
    CardValues values;
    for (const CardField& field : cardFields()) {
        values.insert(field.column, QString());
    }
    values.insert(QStringLiteral("theType"), type);
    values.insert(QStringLiteral("BName"), name);
    values.insert(QStringLiteral("BSex"), sex);
    values.insert(QStringLiteral("DArea"), province);
    return values;
}

QString insertCard(DirectSql& sql, const QString& type, const QString& name, const QString& sex,
                   const QString& date, const QString& province) {
    sql.exec(
        QStringLiteral("INSERT INTO D_B (theDate, theType, BName, BSex, DArea, theDel) "
                       "VALUES ('%1', '%2', '%3', '%4', '%5', '否')")
            .arg(sqlText(date), sqlText(type), sqlText(name), sqlText(sex), sqlText(province)));
    return sql.scalar(QStringLiteral("SELECT max(ID) FROM D_B"));
}

void insertVisit(DirectSql& sql, const QString& cardId, const QString& date, const QString& kind,
                 const QString& memo) {
    sql.exec(
        QStringLiteral("INSERT INTO DList (DID, LDate, LType, LMemo) VALUES (%1, '%2', '%3', '%4')")
            .arg(QString::number(cardId.toLongLong()), sqlText(date), sqlText(kind),
                 sqlText(memo)));
}

void whenModalShown(std::function<void(QWidget*)> action) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    auto waited = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, waited, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            // Shown is not always active: on a slow run (a sanitizer build) the offscreen
            // platform may leave the window below active, and keys and focus would go there.
            // The platform may call the window active before the application has been told:
            // keys and focus follow the application's active window.
            modal->activateWindow();
            if (!QTest::qWaitFor([modal] { return QApplication::activeWindow() == modal; })) {
                qWarning("the modal window did not become active");
            }
            action(modal);
        } else if (++*waited > 500) {
            timer->stop();
            timer->deleteLater();
            qWarning("no modal window came up");
        }
    });
    timer->start();
}

void checkEveryControlShowsAtMinimumSize(QWidget* window) {
    window->resize(1, 1);
    QCoreApplication::processEvents();
    QVERIFY(window->width() > 1 && window->height() > 1);
    QList<QWidget*> controls;
    for (QWidget* control : window->findChildren<QWidget*>()) {
        const QString name = control->objectName();
        if (control->isVisible() && !control->isWindow() && !name.isEmpty() &&
            !name.startsWith(QLatin1String("qt_"))) {
            controls << control;
            const QRect place(control->mapTo(window, QPoint(0, 0)), control->size());
            QVERIFY2(window->rect().contains(place),
                     qPrintable(QStringLiteral("%1 is cut off at %2 × %3")
                                    .arg(name)
                                    .arg(window->width())
                                    .arg(window->height())));
        }
    }
    for (const QWidget* one : std::as_const(controls)) {
        for (const QWidget* other : std::as_const(controls)) {
            if (one != other && one->parentWidget() == other->parentWidget()) {
                QVERIFY2(!one->geometry().intersects(other->geometry()),
                         qPrintable(QStringLiteral("%1 covers %2")
                                        .arg(one->objectName(), other->objectName())));
            }
        }
    }
}

QString lastErrorText() {
    const auto& shown = Messages::shown();
    for (auto it = shown.crbegin(); it != shown.crend(); ++it) {
        if (it->kind == Messages::Kind::Error) {
            return it->text;
        }
    }
    return {};
}

void typeText(QWidget* widget, const QString& text) {
    QString run; // characters the keyboard has no key for, committed by the input method
    auto commit = [&] {
        if (!run.isEmpty()) {
            QInputMethodEvent event;
            event.setCommitString(run);
            QApplication::sendEvent(widget, &event);
            run.clear();
        }
    };
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f) {
            commit();
            QTest::keyClick(widget, c.toLatin1());
        } else {
            run += c;
        }
    }
    commit();
}

int runImportProgram(const QString& folder, const QString& workbook) {
    Messages::setScripted(true);
    setProgramFolder(folder);
    Program program;
    auto* window = new TfrmInData(program.mainWindow(), program.store());
    Messages::queueFileName(workbook);
    window->openWorkbook();
    window->importRows();
    const QString error = lastErrorText();
    if (!error.isEmpty()) {
        std::fprintf(stderr, "import failed: %s\n", qPrintable(error));
        return 1;
    }
    return Messages::shown().isEmpty() ? 1 : 0;
}

void writeSheet(const QString& path, const QStringList& headers, const QList<QStringList>& rows,
                const QString& sheetName) {
    QFile::remove(path);
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE; // large sheets stay small in memory
    lxw_workbook* book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, sheetName.toUtf8().constData());
    for (int c = 0; c < headers.size(); ++c) {
        worksheet_write_string(sheet, 0, lxw_col_t(c), headers[c].toUtf8().constData(), nullptr);
    }
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < rows[r].size(); ++c) {
            if (!rows[r][c].isEmpty()) {
                worksheet_write_string(sheet, lxw_row_t(r + 1), lxw_col_t(c),
                                       rows[r][c].toUtf8().constData(), nullptr);
            }
        }
    }
    QCOMPARE(workbook_close(book), LXW_NO_ERROR);
}

QWidget* mainWindow() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == QLatin1String("frmMain")) {
            return window;
        }
    }
    return nullptr;
}
