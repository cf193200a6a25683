// The card database shared with other programs, and on a file the program cannot write.
// Two copies of the program import and add the same cards at the same time: each card is
// stored once and nothing saved is lost. A writer waits while another program keeps writing.
// On a read-only file or folder, a full disk, a write lock held elsewhere and a write cut
// off in a read-only folder, every action shows one box that says what happened, and the
// file keeps what it held. Whatever state a crash leaves the file in, its cards can be read,
// and a write either goes through or says what to do, after which it goes through.

#include "card/cardtest.h"
#include "db/cardfields.h"
#include "db/cipherfile.h"
#include "db/connectionsettings.h"
#include "db/engineerror.h"
#include "db/query.h"
#include "db/sqlcipherconnection.h"
#include "ui/main/mainwindow.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <sqlite3.h>
#include <unistd.h>

namespace {

const char* const ChildVariable = "ORVANE_SHARING_CHILD";

QStringList cardHeaders() {
    QStringList headers;
    for (const CardField& field : cardFields()) {
        headers << field.caption;
    }
    return headers;
}

// A sheet row of a card with category, name and sex; the other fields empty.
QStringList cardRow(const QString& name) {
    QStringList row(qsizetype(cardFields().size()));
    row[0] = QStringLiteral("客户");
    row[1] = name;
    row[2] = QStringLiteral("男");
    return row;
}

// This test program run again as another program on the same database: role|folder|argument.
class SecondProgram {
public:
    SecondProgram(const QString& role, const QString& folder, const QString& argument = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(ChildVariable),
                           QStringList{role, folder, argument}.join(u'|'));
        m_process.setProcessEnvironment(environment);
        m_process.setReadChannel(QProcess::StandardOutput);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start(QCoreApplication::applicationFilePath(), {});
        m_process.waitForStarted();
    }
    ~SecondProgram() {
        if (m_process.state() != QProcess::NotRunning) {
            ::kill(pid_t(m_process.processId()), SIGKILL);
            m_process.waitForFinished();
        }
    }
    // Waits until the program has written line to its output.
    bool waitForLine(const QString& line, int timeoutMs = 20000) {
        QElapsedTimer clock;
        clock.start();
        while (!m_output.contains(line + u'\n') && clock.elapsed() < timeoutMs &&
               m_process.state() == QProcess::Running) {
            m_process.waitForReadyRead(50);
            m_output += QString::fromUtf8(m_process.readAllStandardOutput());
        }
        // What a program that has ended already wrote last.
        m_output += QString::fromUtf8(m_process.readAllStandardOutput());
        return m_output.contains(line + u'\n');
    }
    // The program's exit code once it has ended by itself; -1 when it is still running.
    int finish(int timeoutMs = 120000) {
        if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(timeoutMs)) {
            return -1;
        }
        m_output += QString::fromUtf8(m_process.readAllStandardOutput());
        const QByteArray errors = m_process.readAllStandardError();
        if (m_process.exitCode() != 0) {
            qWarning("second program: %s", errors.constData());
        }
        return m_process.exitCode();
    }
    void cutOff() {
        ::kill(pid_t(m_process.processId()), SIGKILL);
        m_process.waitForFinished();
    }
    const QString& output() const { return m_output; }

private:
    QProcess m_process;
    QString m_output;
};

void say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

// The roles of the second program.
int runSecondProgram(const QString& role, const QString& folder, const QString& argument) {
    if (role == u"import") {
        const int result = runImportProgram(folder, argument);
        std::printf("longest lock wait: %lld ms\n",
                    static_cast<long long>(SqlCipherConnection::longestLockWait()));
        return result;
    }
    SqlCipherConnection connection;
    connection.setConnectionString(cardConnectionString(folder));
    try {
        if (role == u"hold") {
            // Holds the write lock without writing, for argument milliseconds.
            connection.execute(QStringLiteral("BEGIN EXCLUSIVE"));
            say("held");
            QThread::msleep(argument.toULong());
            connection.execute(QStringLiteral("COMMIT"));
            say("released");
        } else if (role == u"steady") {
            // Writes one card after another, each holding the lock a little while, for
            // argument milliseconds.
            QElapsedTimer clock;
            clock.start();
            say("writing");
            for (int i = 0; clock.elapsed() < argument.toLongLong(); ++i) {
                connection.execute(QStringLiteral("BEGIN IMMEDIATE"));
                connection.execute(QStringLiteral("insert into D_B(theType,BName,BSex,theDel) "
                                                  "values('同事','稳%1','男','否')")
                                       .arg(i));
                QThread::msleep(20);
                connection.execute(QStringLiteral("COMMIT"));
            }
        } else if (role == u"long") {
            // One long write of many cards for argument milliseconds: the lock is held all
            // the while, and the file's log grows as the written pages leave the cache.
            connection.execute(QStringLiteral("PRAGMA cache_size = 10"));
            connection.execute(QStringLiteral("BEGIN IMMEDIATE"));
            say("writing");
            QElapsedTimer clock;
            clock.start();
            for (int i = 0; clock.elapsed() < argument.toLongLong(); ++i) {
                connection.execute(QStringLiteral("insert into D_B(theType,BName,BSex,FDes,theDel) "
                                                  "values('同事','长%1','男','%2','否')")
                                       .arg(i)
                                       .arg(QString(400, u'备')));
                QThread::msleep(5);
            }
            connection.execute(QStringLiteral("COMMIT"));
        } else if (role == u"walcrash") {
            // A program that stops dead after a write: the card is only in the log.
            connection.execute(QStringLiteral("insert into D_B(theType,BName,BSex,theDel) "
                                              "values('客户','崩溃前','男','否')"));
            say("written");
            QThread::sleep(120);
        } else if (role == u"cutoff") {
            // An older copy of the program, writing with a rollback journal, cut off halfway:
            // the pages it changed are already in the file, the journal holds the old ones.
            connection.execute(QStringLiteral("PRAGMA journal_mode = DELETE"));
            connection.execute(QStringLiteral("PRAGMA cache_size = 10"));
            connection.execute(QStringLiteral("BEGIN"));
            for (int i = 0; i < 3000; ++i) {
                connection.execute(QStringLiteral("insert into D_B(theType,BName,BSex,theDel) "
                                                  "values('同事','断%1','男','否')")
                                       .arg(i));
            }
            say("written");
            QThread::sleep(120);
        }
    } catch (const EngineError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}

// What the database holds: the bytes of its file and, where it can be read, its rows.
QByteArray databaseState(const ScratchDatabase& database) {
    QFile file(database.databasePath());
    file.open(QIODevice::ReadOnly);
    QByteArray state = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex();
    try {
        DirectSql reader(database.connectionString());
        for (const char* rows :
             {"select group_concat(ID||'/'||ifnull(theDate,'')||'/'||ifnull(theType,'')||'/'||"
              "ifnull(BName,'')||'/'||ifnull(BSex,'')||'/'||ifnull(theDel,''), ';') from D_B",
              "select group_concat(ID||'/'||DID||'/'||ifnull(LDate,'')||'/'||ifnull(LType,'')||"
              "'/'||ifnull(LMemo,''), ';') from DList",
              "select group_concat(ifnull(theType,'')||'/'||ifnull(theSex,'')||'/'||"
              "ifnull(theP,''), ';') from D_Mr"}) {
            state += '|' + reader.scalar(QString::fromUtf8(rows)).toUtf8();
        }
    } catch (const EngineError&) {
        state += "|unreadable";
    }
    return state;
}

enum class Place {
    ReadOnlyFile,
    ReadOnlyFolder,
    FullDisk,
    LockHeld,
    CutOffWrite, // a journal left in a folder that then became read-only
    // What a crash leaves behind.
    LogLeft,                 // the write-ahead log and its index
    LogLeftReadOnlyFolder,   // ... in a folder that then became read-only
    LogLeftReadOnlyFile,     // ... beside a file that then became read-only
    LogFoldedReadOnlyFolder, // the log folded by another tool, the folder then read-only
    LogFoldedReadOnlyFile,   // the log folded by another tool, the file then read-only
    JournalLeft,             // a rollback journal of a write cut off halfway
};

// Makes a file or folder unwritable for this program, also when it runs as root (the
// immutable attribute holds for root too). False where the machine does not allow it.
bool makeUnwritable(const QString& path) {
    if (::geteuid() == 0) {
        return QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path}) == 0;
    }
    return QFile::setPermissions(path, QFileInfo(path).isDir() ? QFile::ReadOwner | QFile::ExeOwner
                                                               : QFile::ReadOwner);
}

void makeWritable(const QString& path) {
    if (::geteuid() == 0) {
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path});
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// The database's folder on a small disk of its own that is then filled up.
bool putOnFullDisk(const ScratchDatabase& database, const QString& dataFolder) {
    const QString copy = database.folder() + QStringLiteral("db.copy");
    if (::geteuid() != 0 || !QFile::copy(database.databasePath(), copy) ||
        QProcess::execute(QStringLiteral("mount"),
                          {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                           QStringLiteral("size=1m"), QStringLiteral("tmpfs"), dataFolder}) != 0) {
        return false;
    }
    QFile::copy(copy, database.databasePath());
    QFile filler(dataFolder + QStringLiteral("/filler"));
    filler.open(QIODevice::WriteOnly);
    const QByteArray block(4096, '\0');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    for (int i = 0; i < 64 && filler.write(block.left(64)) > 0 && filler.flush(); ++i) {
    }
    return true;
}

// Another tool opens the file and closes it again without changing its mode: the log is
// folded into the file and removed, and the file stays in write-ahead mode.
bool foldLogWithAnotherTool(const QString& path) {
    sqlite3* db = nullptr;
    const bool read = openCardFile(QFile::encodeName(path), databasePassword().toUtf8(),
                                   SQLITE_OPEN_READWRITE, {}, &db) == SQLITE_OK;
    sqlite3_close(db);
    return read && !QFile::exists(path + QStringLiteral("-wal"));
}

// The write-ahead log of a program killed after its last write, beside the file.
bool leaveLog(const ScratchDatabase& database) {
    SecondProgram crashing(QStringLiteral("walcrash"), database.folder());
    const bool written = crashing.waitForLine(QStringLiteral("written"));
    crashing.cutOff();
    return written && QFile::exists(database.databasePath() + QStringLiteral("-wal"));
}

// A write in the rollback form of older copies of the program, cut off halfway.
bool leaveJournal(const ScratchDatabase& database) {
    SecondProgram older(QStringLiteral("cutoff"), database.folder());
    const bool written = older.waitForLine(QStringLiteral("written"));
    older.cutOff();
    return written && QFile::exists(database.databasePath() + QStringLiteral("-journal"));
}

// Sets the place up around a scratch database, and undoes it at the end.
class PlaceSetting {
public:
    PlaceSetting(Place place, const ScratchDatabase& database) : m_database(database) {
        m_data = QFileInfo(database.databasePath()).absolutePath();
        switch (place) {
        case Place::ReadOnlyFile:
            m_unwritable = database.databasePath();
            m_ready = makeUnwritable(m_unwritable);
            break;
        case Place::ReadOnlyFolder:
            m_unwritable = m_data;
            m_ready = makeUnwritable(m_unwritable);
            break;
        case Place::FullDisk:
            m_mounted = putOnFullDisk(database, m_data);
            m_ready = m_mounted;
            break;
        case Place::LockHeld:
            m_ready = true; // the lock is taken once the program runs
            break;
        case Place::CutOffWrite:
            m_unwritable = m_data;
            m_ready = leaveJournal(database) && makeUnwritable(m_unwritable);
            break;
        case Place::LogLeft:
            m_ready = leaveLog(database);
            break;
        case Place::LogLeftReadOnlyFolder:
            m_unwritable = m_data;
            m_ready = leaveLog(database) && makeUnwritable(m_unwritable);
            break;
        case Place::LogLeftReadOnlyFile:
            m_unwritable = database.databasePath();
            m_ready = leaveLog(database) && makeUnwritable(m_unwritable);
            break;
        case Place::LogFoldedReadOnlyFolder:
            m_unwritable = m_data;
            m_ready = leaveLog(database) && foldLogWithAnotherTool(database.databasePath()) &&
                      makeUnwritable(m_unwritable);
            break;
        case Place::LogFoldedReadOnlyFile:
            m_unwritable = database.databasePath();
            m_ready = leaveLog(database) && foldLogWithAnotherTool(database.databasePath()) &&
                      makeUnwritable(m_unwritable);
            break;
        case Place::JournalLeft:
            m_ready = leaveJournal(database);
            break;
        }
    }
    ~PlaceSetting() { undo(); }
    // Makes the file and its folder writable again, as the user does when told to.
    void undo() {
        if (!m_unwritable.isEmpty()) {
            makeWritable(m_unwritable);
            m_unwritable.clear();
        }
        if (m_mounted) {
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_data});
            m_mounted = false;
        }
    }
    bool ready() const { return m_ready; }

private:
    const ScratchDatabase& m_database;
    QString m_data;
    QString m_unwritable;
    bool m_mounted = false;
    bool m_ready = false;
};

QList<Messages::Shown> boxesNotQuestions() {
    QList<Messages::Shown> boxes;
    for (const Messages::Shown& shown : Messages::shown()) {
        if (shown.kind != Messages::Kind::Question) {
            boxes << shown;
        }
    }
    return boxes;
}

} // namespace

class TestSharing : public QObject {
    Q_OBJECT

private slots:
    void init() { m_sheets = std::make_unique<QTemporaryDir>(); }

    void cleanup() { SqlCipherConnection::setLockWaitForTests(0); }

    // Two other programs import the same sheet of cards side by side, each committing its
    // cards in groups, while this one adds some of the same cards in the editor.
    void twoProgramsStoreEachCardOnce() {
        constexpr int Names = 20000;
        QStringList names;
        QList<QStringList> rows;
        for (int i = 0; i < Names; ++i) {
            names << QStringLiteral("同名%1").arg(i, 3, 10, QLatin1Char('0'));
            rows << cardRow(names.back());
        }
        const QString sheet = m_sheets->filePath(QStringLiteral("cards.xlsx"));
        writeSheet(sheet, cardHeaders(), rows);

        ProgramFixture program;
        const QString folder = program.database().folder();
        program.start();
        SecondProgram first(QStringLiteral("import"), folder, sheet);
        SecondProgram second(QStringLiteral("import"), folder, sheet);
        // The saves here start once the imports have stored their first cards, the editor
        // already open (the imports run at the engine's pace).
        DirectSql watcher(program.database().connectionString());
        QStringList savedHere;
        QVERIFY(withNewCardEditor([&](QWidget* editor) {
            QTRY_VERIFY_WITH_TIMEOUT(
                watcher.count(QStringLiteral("select ID from D_B limit 2")) == 2, 30000);
            // From the sheet's end back, towards the imports coming the other way: the first
            // saves come before the imports get there (they commit in groups and are quick).
            for (int i = 0; i < 200; ++i) {
                const QString name = names[Names - 1 - i * 7];
                retype(editor, "EditB1", name);
                Messages::clearRecord();
                click(editor, "BitBtn1");
                QVERIFY2(lastErrorText().isEmpty(), qPrintable(lastErrorText()));
                if (plainMessages() == QStringList({"恭喜！恭喜！名片 新增 保存成功！"})) {
                    savedHere << name;
                }
            }
        }));
        QCOMPARE(savedHere.size() > 0, true);
        QCOMPARE(first.finish(), 0);
        QCOMPARE(second.finish(), 0);

        DirectSql sql(program.database().connectionString());
        QCOMPARE(sql.scalar(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
        QCOMPARE(sql.scalar(QStringLiteral("select count(*) from D_B")), QString::number(Names));
        QCOMPARE(sql.scalar(QStringLiteral("select count(distinct BName) from D_B")),
                 QString::number(Names));
        for (const QString& name : std::as_const(savedHere)) {
            QCOMPARE(sql.count(QStringLiteral("select ID from D_B where BName='%1'").arg(name)), 1);
        }
        qInfo("saved here: %lld cards; longest lock wait here: %lld ms; imports: %s / %s",
              static_cast<long long>(savedHere.size()),
              static_cast<long long>(SqlCipherConnection::longestLockWait()),
              qPrintable(first.output().trimmed()), qPrintable(second.output().trimmed()));
    }

    // Another program writes one card after another, holding the lock most of the time: the
    // save goes through between two of its writes (waiting its turn or not, as it happens).
    void aSteadyWriterIsWaitedFor() {
        SqlCipherConnection::setLockWaitForTests(1000);
        ProgramFixture program;
        program.start();
        SecondProgram writer(QStringLiteral("steady"), program.database().folder(),
                             QStringLiteral("3000"));
        QVERIFY(writer.waitForLine(QStringLiteral("writing")));
        QVERIFY(withNewCardEditor([&](QWidget* editor) {
            retype(editor, "EditB1", "等待者");
            click(editor, "BitBtn1");
        }));
        QCOMPARE(lastErrorText(), QString());
        QCOMPARE(plainMessages(), QStringList({"恭喜！恭喜！名片 新增 保存成功！"}));
        QCOMPARE(writer.finish(), 0);
        QCOMPARE(program.sql().count(QStringLiteral("select ID from D_B where BName='等待者'")), 1);
        QVERIFY(program.sql().count(QStringLiteral("select ID from D_B where BName like '稳%'")) >
                0);
    }

    // Another program's long write that keeps going is waited for past the wait, which
    // counts from the other program's last sign of progress; the save goes through after it.
    void aLongWriteInProgressIsWaitedFor() {
        SqlCipherConnection::setLockWaitForTests(1000);
        ProgramFixture program;
        program.start();
        SecondProgram writer(QStringLiteral("long"), program.database().folder(),
                             QStringLiteral("3000"));
        QVERIFY(writer.waitForLine(QStringLiteral("writing")));
        const int waitsBefore = SqlCipherConnection::lockWaits();
        QVERIFY(withNewCardEditor([&](QWidget* editor) {
            retype(editor, "EditB1", "后来者");
            click(editor, "BitBtn1");
        }));
        QVERIFY(SqlCipherConnection::lockWaits() > waitsBefore);
        QCOMPARE(lastErrorText(), QString());
        QCOMPARE(plainMessages(), QStringList({"恭喜！恭喜！名片 新增 保存成功！"}));
        QCOMPARE(writer.finish(), 0);
        // The save came after the whole long write: its card follows every card written.
        DirectSql& sql = program.sql();
        QCOMPARE(sql.scalar(QStringLiteral("select BName from D_B order by ID desc limit 1")),
                 QStringLiteral("后来者"));
        QVERIFY(sql.count(QStringLiteral("select ID from D_B where BName like '长%'")) > 1);
    }

    // A write lock held past the old five seconds is waited for with the program's own wait.
    void aLockHeldSeveralSecondsIsWaitedFor() {
        ProgramFixture program;
        program.start();
        SecondProgram holder(QStringLiteral("hold"), program.database().folder(),
                             QStringLiteral("6000"));
        QVERIFY(holder.waitForLine(QStringLiteral("held")));
        const int waitsBefore = SqlCipherConnection::lockWaits();
        QVERIFY(withNewCardEditor([&](QWidget* editor) {
            retype(editor, "EditB1", "耐心");
            click(editor, "BitBtn1");
        }));
        // The save waited for the lock until the holder gave it back, then went through.
        QVERIFY(SqlCipherConnection::lockWaits() > waitsBefore);
        QVERIFY(holder.waitForLine(QStringLiteral("released")));
        QCOMPARE(lastErrorText(), QString());
        QCOMPARE(holder.finish(), 0);
        QCOMPARE(program.sql().count(QStringLiteral("select ID from D_B where BName='耐心'")), 1);
    }

    void oneBoxPerAction_data() {
        QTest::addColumn<Place>("place");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("boxSays");
        QTest::addColumn<int>("boxes");
        const struct {
            const char* name;
            Place place;
            QStringList says;
        } places[] = {
            {"read-only file", Place::ReadOnlyFile, {"数据库文件", "是只读的", "请去掉"}},
            {"read-only folder", Place::ReadOnlyFolder, {"文件夹", "是只读的", "写入权限"}},
            {"full disk", Place::FullDisk, {"磁盘已满", "腾出空间"}},
            {"lock held", Place::LockHeld, {"另一个程序正在写入数据库", "请关闭另一个程序"}},
            {"cut-off write", Place::CutOffWrite, {"中断", "是只读的", "写入权限"}},
        };
        for (const auto& place : places) {
            for (const char* action : {"save", "visit", "defaults", "import", "delete"}) {
                QTest::addRow("%s, %s", place.name, action)
                    << place.place << QString::fromLatin1(action) << place.says << 1;
            }
        }
    }

    void oneBoxPerAction() {
        QFETCH(Place, place);
        QFETCH(QString, action);
        QFETCH(QStringList, boxSays);
        QFETCH(int, boxes);
        SqlCipherConnection::setLockWaitForTests(1000);
        const QString sheet = m_sheets->filePath(QStringLiteral("one.xlsx"));
        writeSheet(sheet, cardHeaders(), {cardRow(QStringLiteral("赵六"))});

        ProgramFixture program;
        {
            DirectSql seed(program.database().connectionString());
            const QString id = insertCard(seed, "客户", "李四", "男");
            insertVisit(seed, id, "2008-03-01", "电话", "第一次");
        }
        PlaceSetting setting(place, program.database());
        if (!setting.ready()) {
            QSKIP("this machine cannot set the place up (needs root for chattr and mount)");
        }
        program.start();
        QCOMPARE(boxesNotQuestions().size(), 0); // the cards are listed, whatever the place
        QVERIFY(cardListed());
        Messages::clearRecord();
        std::unique_ptr<SecondProgram> holder;
        if (place == Place::LockHeld) {
            holder = std::make_unique<SecondProgram>(
                QStringLiteral("hold"), program.database().folder(), QStringLiteral("10000"));
            QVERIFY(holder->waitForLine(QStringLiteral("held")));
        }
        const QByteArray before = databaseState(program.database());

        // The wait cursor while the statement waits, seen by a timer that fires meanwhile.
        bool waitCursorSeen = false;
        QTimer probe;
        probe.setInterval(200);
        connect(&probe, &QTimer::timeout, [&] {
            const QCursor* cursor = QGuiApplication::overrideCursor();
            waitCursorSeen = waitCursorSeen || (cursor && cursor->shape() == Qt::WaitCursor);
        });

        QList<Messages::Shown> shown;
        int openingBoxes = 0;
        const auto act = [&](const std::function<void()>& command) {
            openingBoxes = int(boxesNotQuestions().size());
            Messages::clearRecord();
            probe.start();
            command();
            probe.stop();
            shown = boxesNotQuestions();
        };
        runAction(action, sheet, act);

        // Each window opened on the way (the editor, and the defaults window over it) shows at
        // most one box of its own.
        const int windows = action == u"defaults" ? 2 : action == u"delete" ? 0 : 1;
        QVERIFY2(openingBoxes <= windows, qPrintable(QString::number(openingBoxes)));
        QCOMPARE(shown.size(), boxes);
        for (const Messages::Shown& box : std::as_const(shown)) {
            QCOMPARE(int(box.kind), int(Messages::Kind::Error));
            for (const QString& words : std::as_const(boxSays)) {
                QVERIFY2(box.text.contains(words), qPrintable(box.text));
            }
            QVERIFY2(!box.text.contains(QStringLiteral("语句")) &&
                         !box.text.contains(QStringLiteral("D_B")),
                     qPrintable(box.text));
            qInfo("%s", qPrintable(box.text));
        }
        if (place == Place::LockHeld) {
            QVERIFY(waitCursorSeen);
        }
        QCOMPARE(databaseState(program.database()), before);
    }

    void crashStates_data() {
        QTest::addColumn<Place>("place");
        QTest::addColumn<QStringList>("cards");   // listed at start
        QTest::addColumn<QStringList>("boxSays"); // of the first save; none: it goes through
        const QStringList seeded{"李四"};
        QStringList logged{"崩溃前", "李四"};
        logged.sort();
        const QStringList readOnlyFolder{"文件夹", "是只读的", "请给该文件夹写入权限后再试"};
        const QStringList readOnlyFile{"数据库文件", "是只读的", "请去掉该文件的只读属性后再试"};
        QTest::newRow("log left") << Place::LogLeft << logged << QStringList();
        QTest::newRow("log left, folder read-only")
            << Place::LogLeftReadOnlyFolder << logged << QStringList();
        QTest::newRow("log left, file read-only")
            << Place::LogLeftReadOnlyFile << logged << readOnlyFile;
        QTest::newRow("log folded, folder read-only")
            << Place::LogFoldedReadOnlyFolder << logged << readOnlyFolder;
        QTest::newRow("log folded, file read-only")
            << Place::LogFoldedReadOnlyFile << logged << readOnlyFile;
        QTest::newRow("journal left") << Place::JournalLeft << seeded << QStringList();
        QTest::newRow("journal left, folder read-only")
            << Place::CutOffWrite << seeded
            << QStringList{"中断", "该文件夹是只读的", "请给该文件夹写入权限后再试"};
        QTest::newRow("file read-only") << Place::ReadOnlyFile << seeded << readOnlyFile;
    }

    // The program starts on the file as a crash left it and lists every card the file held
    // when the crash came. A save goes through, or shows one box in Chinese that says what to
    // do; once that is done, the same save goes through without a restart.
    void crashStates() {
        QFETCH(Place, place);
        QFETCH(QStringList, cards);
        QFETCH(QStringList, boxSays);
        ProgramFixture program;
        {
            DirectSql seed(program.database().connectionString());
            insertCard(seed, "客户", "李四", "男");
        }
        PlaceSetting setting(place, program.database());
        if (!setting.ready()) {
            QSKIP("this machine cannot set the place up (needs root for chattr)");
        }
        program.start();
        QCOMPARE(boxesNotQuestions().size(), 0);
        QStringList listed = listedNames();
        listed.sort();
        QCOMPARE(listed, cards);

        const auto save = [] {
            Messages::clearRecord();
            QVERIFY(withNewCardEditor([](QWidget* editor) {
                retype(editor, "EditB1", "王五");
                click(editor, "BitBtn1");
            }));
        };
        save();
        if (!boxSays.isEmpty()) {
            const QList<Messages::Shown> shown = boxesNotQuestions();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(int(shown[0].kind), int(Messages::Kind::Error));
            for (const QString& words : std::as_const(boxSays)) {
                QVERIFY2(shown[0].text.contains(words), qPrintable(shown[0].text));
            }
            // The engine's own words stay out of the box; the folder's name is all it spells.
            QString words = shown[0].text;
            words.remove(QDir::toNativeSeparators(program.database().databasePath()));
            words.remove(
                QDir::toNativeSeparators(program.database().folder() + QStringLiteral("Data")));
            static const QRegularExpression english(QStringLiteral("[A-Za-z]{3,}"));
            QVERIFY2(!words.contains(english), qPrintable(shown[0].text));
            qInfo("%s", qPrintable(shown[0].text));
            setting.undo();
            save();
        }
        QCOMPARE(lastErrorText(), QString());
        QCOMPARE(plainMessages(), QStringList({"恭喜！恭喜！名片 新增 保存成功！"}));
        program.stop();
        DirectSql after(program.database().connectionString());
        QCOMPARE(after.scalar(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
        QCOMPARE(after.count(QStringLiteral("select ID from D_B where BName='王五'")), 1);
        for (const QString& name : std::as_const(cards)) {
            QCOMPARE(after.count(QStringLiteral("select ID from D_B where BName='%1'").arg(name)),
                     1);
        }
    }

private:
    // The names in the main list, as listed.
    static QStringList listedNames() {
        QStringList names;
        Query* list = frmMain->cardList;
        if (!list->active()) {
            return names;
        }
        for (list->first(); !list->eof(); list->next()) {
            names << list->fieldByName(QStringLiteral("姓名"));
        }
        return names;
    }

    // Opens the window of an action as the user does, and runs the action's command (its
    // button) through act.
    static void runAction(const QString& action, const QString& sheet,
                          const std::function<void(const std::function<void()>&)>& act) {
        if (action == u"save") {
            QVERIFY(withNewCardEditor([&](QWidget* editor) {
                retype(editor, "EditB1", "王五");
                act([&] { click(editor, "BitBtn1"); });
            }));
        } else if (action == u"visit") {
            if (!cardListed()) {
                act([] { clickMainButton("SpeedButton8"); }); // does nothing without a card
                return;
            }
            QVERIFY(inWindowOpenedBy([] { clickMainButton("SpeedButton8"); },
                                     [&](QWidget* visits) {
                                         retype(visits, "Edit2", "第二次");
                                         act([&] { click(visits, "BitBtn1"); });
                                     }));
        } else if (action == u"defaults") {
            QVERIFY(withNewCardEditor([&](QWidget* editor) {
                QVERIFY(withDefaultsWindow(
                    editor, [&](QWidget* defaults) { act([&] { click(defaults, "BitBtn1"); }); }));
            }));
        } else if (action == u"import") {
            QVERIFY(inWindowOpenedBy([] { clickMainButton("SpeedButton7"); },
                                     [&](QWidget* window) {
                                         Messages::queueFileName(sheet);
                                         click(window, "Button1");
                                         act([&] { click(window, "BitBtn1"); });
                                     }));
        } else if (action == u"delete") {
            act([] {
                Messages::queueAnswer(true);
                clickMainButton("SpeedButton3");
            });
        }
    }

    static bool cardListed() {
        return frmMain->cardList->active() && frmMain->cardList->recordCount() > 0;
    }

    std::unique_ptr<QTemporaryDir> m_sheets;
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString child = qEnvironmentVariable(ChildVariable);
    if (!child.isEmpty()) {
        const QStringList parts = child.split(u'|');
        return runSecondProgram(parts.value(0), parts.value(1), parts.value(2));
    }
    TestSharing test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_sharing.moc"
