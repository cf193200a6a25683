// The card import of a 10,000-row sheet into a database already holding 100,000 cards, as the
// import window runs it (the rows committed in groups, then the list read again), against the
// engine alone doing the same work in one transaction with prepared statements (each row's
// duplicate check, then its insert); beside them the engine alone committing as the program
// does (every GroupRows rows or GroupMs), which prices the group commit. The three run in
// turn for five rounds, each on a fresh copy of the database, wall and CPU time measured
// around the import alone; the program's list, as its start-up reads it, is whole before.
// Then reading the same sheet from an .xls (as LibreOffice converts the .xlsx) and from the
// .xlsx; and a copy of the program killed halfway through such an import, after which the
// database must be whole and keep the rows imported before the kill.
//
//   bench_import                               the figures
//   ORVANE_BENCH_KILLS=20 bench_import         then 20 kills of an importing copy at random
//                                              moments, each checked as the one halfway
//   bench_import --import-child <folder> <xlsx>  (internal) the importing copy

#include "benchsupport.h"
#include "db/cardfields.h"
#include "db/cardstore.h"
#include "db/cipherfile.h"
#include "db/connection.h"
#include "db/connectionsettings.h"
#include "db/engineerror.h"
#include "db/query.h"
#include "excel/workbookreader.h"
#include "testsupport.h"
#include "ui/common/messages.h"
#include "ui/exchange/importwindow.h"
#include "ui/main/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <csignal>
#include <cstdio>
#include <functional>
#include <sqlite3.h>
#include <xlsxwriter.h>

namespace {

constexpr int Cards = 100000;
constexpr int Rows = 10000;
constexpr int KillAt = Rows / 2;
constexpr int Rounds = 5;

// The import sheet's headers: the captions of the card fields.
const QStringList CardHeaders = [] {
    QStringList headers;
    for (const CardField& field : cardFields()) {
        headers << field.caption;
    }
    return headers;
}();

void generate(DirectSql& sql) {
    sql.exec(QStringLiteral(
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                 "INSERT INTO D_B (theDate, theType, BName, BSex, BPho, BMob, BMail, BQQ, BMSN, "
                 "BWW, BDes, DArea, DCity, DName, DPart, DJob, DAdd, DPho, DFax, DPos, DWWW, "
                 "FAdd, FPho, FPro, FDes, theDel) SELECT "
                 "printf('%04d-%02d-%02d', 2000 + i % 9, 1 + i % 12, 1 + i % 28), "
                 "substr('客户同事朋友同学家人其他', 1 + (i % 6) * 2, 2), '已有' || i, "
                 "substr('男女', 1 + i % 2, 1), '010-' || (60000000 + i), '138' || (10000000 + i), "
                 "'user' || i || '@example.com', '' || (100000 + i), '', 'ww' || i, '老客户', "
                 "'北京', '北京', '某某科技有限公司', '销售部', '经理', '某路' || i || '号', "
                 "'021-' || (50000000 + i), '021-' || (40000000 + i), '100080', "
                 "'www.example.com', '家庭住址' || i, '' || (80000000 + i), '家属', '', '否' "
                 "FROM n")
                 .arg(Cards));
}

// Row r of the sheet, in header order; every name differs, so every row is imported.
QStringList sheetRow(int r) {
    return {QStringLiteral("客户"),
            QStringLiteral("导入%1").arg(r),
            r % 2 ? QStringLiteral("女") : QStringLiteral("男"),
            QStringLiteral("010-%1").arg(62000000 + r),
            QString::number(13900000000LL + r),
            QStringLiteral("import%1@example.com").arg(r),
            QString::number(200000 + r),
            QStringLiteral("import%1@hotmail.com").arg(r),
            QStringLiteral("ww%1").arg(r),
            QStringLiteral("展会上认识的客户，O'Neil 介绍"),
            QStringLiteral("上海"),
            QStringLiteral("上海"),
            QStringLiteral("上海某某贸易有限公司"),
            QStringLiteral("采购部"),
            QStringLiteral("采购经理"),
            QStringLiteral("上海市浦东新区某路%1号").arg(r),
            QStringLiteral("021-%1").arg(63000000 + r),
            QStringLiteral("021-%1").arg(64000000 + r),
            QStringLiteral("200120"),
            QStringLiteral("www.example%1.com").arg(r),
            QStringLiteral("上海市徐汇区某路%1号").arg(r),
            QStringLiteral("021-%1").arg(65000000 + r),
            QStringLiteral("家属%1").arg(r),
            QStringLiteral("每季度联系一次")};
}

void writeSheet(const QString& path) {
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Sheet1");
    for (int c = 0; c < CardHeaders.size(); ++c) {
        worksheet_write_string(sheet, 0, lxw_col_t(c), CardHeaders[c].toUtf8().constData(),
                               nullptr);
    }
    for (int r = 0; r < Rows; ++r) {
        const QStringList row = sheetRow(r);
        for (int c = 0; c < row.size(); ++c) {
            worksheet_write_string(sheet, lxw_row_t(r + 1), lxw_col_t(c),
                                   row[c].toUtf8().constData(), nullptr);
        }
    }
    workbook_close(book);
}

// The workbook as LibreOffice saves it in the .xls format, beside it; empty when LibreOffice
// cannot be run.
QString convertedToXls(const QString& xlsx) {
    QTemporaryDir profile; // its own profile: no clash with an office already running
    QProcess office;
    office.start(QStringLiteral("soffice"),
                 {"-env:UserInstallation=" + QUrl::fromLocalFile(profile.path()).toString(),
                  "--headless", "--convert-to", "xls:MS Excel 97", "--outdir",
                  QFileInfo(xlsx).path(), xlsx});
    office.waitForFinished(300000);
    const QString xls =
        QFileInfo(xlsx).path() + u'/' + QFileInfo(xlsx).completeBaseName() + QStringLiteral(".xls");
    return QFile::exists(xls) ? xls : QString();
}

// Reading the sheet alone, as opening it in the import window does, the median of five.
double readSheetMs(const QString& workbook) {
    return timeRuns(5,
                    [&] {
                        if (readWorkbookSheet(workbook, QStringLiteral("Sheet1"))->rowCount() !=
                            Rows) {
                            std::fprintf(stderr, "%s: not all rows read\n", qPrintable(workbook));
                        }
                    })
        .medianMs;
}

// A program folder holding a copy of the given database.
QString folderWith(const QTemporaryDir& root, const QString& name, const QString& database) {
    const QString folder = root.filePath(name) + u'/';
    QDir().mkpath(folder + QStringLiteral("Data"));
    QFile::copy(database, folder + QStringLiteral("Data/db.edb"));
    return folder;
}

// Wall and CPU time of one piece of work.
struct Measured {
    double wallMs = 0;
    double cpuMs = 0;
};

class Stopwatch {
public:
    Measured elapsed() const { return {wallNowMs() - m_wall, cpuNowMs() - m_cpu}; }

private:
    double m_wall = wallNowMs();
    double m_cpu = cpuNowMs();
};

Timing timingOf(const std::vector<Measured>& runs) {
    std::vector<double> wall;
    std::vector<double> cpu;
    for (const Measured& run : runs) {
        wall.push_back(run.wallMs);
        cpu.push_back(run.cpuMs);
    }
    Timing timing;
    minAndMedian(wall, timing.minMs, timing.medianMs);
    minAndMedian(cpu, timing.cpuMinMs, timing.cpuMedianMs);
    return timing;
}

// The import on the engine alone, under the journal settings of the program's connection:
// for each row the duplicate check and the insert of the program, prepared once and run with
// the row's values bound; in one transaction, or grouped, committing as the program does.
Measured engineImport(const QString& databasePath, const QStringList& journal, bool grouped) {
    sqlite3* db = nullptr;
    openCardFile(QFile::encodeName(databasePath), databasePassword().toUtf8(),
                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, {}, &db);
    for (const QString& pragma : journal) {
        sqlite3_exec(db, pragma.toUtf8().constData(), nullptr, nullptr, nullptr);
    }
    std::vector<QList<QByteArray>> rows;
    for (int r = 0; r < Rows; ++r) {
        QList<QByteArray> values;
        for (const QString& value : sheetRow(r)) {
            values << value.toUtf8();
        }
        rows.push_back(values);
    }
    QStringList columns{QStringLiteral("theDate")};
    QStringList marks{QStringLiteral("?")};
    for (const CardField& field : cardFields()) {
        columns << field.column;
        marks << QStringLiteral("?");
    }
    const QByteArray insertText =
        ("Insert into D_B(" + columns.join(u',') + ",theDel) values(" + marks.join(u',') + ",'否')")
            .toUtf8();
    const QByteArray checkText =
        QStringLiteral("select ID from D_B Where theType=? and BName=? and BSex=? and theDel='否'")
            .toUtf8();
    const Stopwatch stopwatch;
    sqlite3_stmt* check = nullptr;
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, checkText.constData(), int(checkText.size()), &check, nullptr);
    sqlite3_prepare_v2(db, insertText.constData(), int(insertText.size()), &insert, nullptr);
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    QElapsedTimer groupAge;
    groupAge.start();
    int groupRows = 0;
    for (const QList<QByteArray>& row : rows) {
        // Category, name and sex are the sheet's first three columns.
        for (int k = 0; k < 3; ++k) {
            sqlite3_bind_text(check, k + 1, row[k].constData(), int(row[k].size()), SQLITE_STATIC);
        }
        const bool duplicate = sqlite3_step(check) == SQLITE_ROW;
        sqlite3_reset(check);
        if (!duplicate) {
            sqlite3_bind_text(insert, 1, "2008-03-07", -1, SQLITE_STATIC);
            for (int k = 0; k < row.size(); ++k) {
                sqlite3_bind_text(insert, k + 2, row[k].constData(), int(row[k].size()),
                                  SQLITE_STATIC);
            }
            if (sqlite3_step(insert) != SQLITE_DONE) {
                std::fprintf(stderr, "engine insert failed: %s\n", sqlite3_errmsg(db));
            }
            sqlite3_reset(insert);
        }
        if (grouped && (++groupRows >= CardStore::ImportBatch::GroupRows ||
                        groupAge.elapsed() >= CardStore::ImportBatch::GroupMs)) {
            sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
            groupAge.restart();
            groupRows = 0;
        }
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_finalize(check);
    sqlite3_finalize(insert);
    const Measured measured = stopwatch.elapsed();
    sqlite3_close_v2(db);
    return measured;
}

// The journal settings of the program's connection, as statements for another connection.
QStringList journalSettings(Connection& engine) {
    QStringList pragmas;
    for (const char* name : {"journal_mode", "synchronous"}) {
        const auto value = engine.select(QStringLiteral("PRAGMA %1").arg(name));
        pragmas << QStringLiteral("PRAGMA %1 = %2").arg(name, value->text(0, 0));
    }
    return pragmas;
}

struct KillResult {
    bool whole = false;
    int kept = -1;
    bool prefix = false;
};

// Starts an importing copy of this program, kills it once killAt rows are in (and a moment
// later, up to extraMs), and looks at what the database kept.
KillResult killImport(const QString& folder, const QString& workbook, int killAt, int extraMs) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--import-child"), folder, workbook});
    child.waitForStarted();
    DirectSql watcher(cardConnectionString(folder));
    const QString count = QStringLiteral("select count(*) from D_B");
    auto importedSoFar = [&] {
        try {
            return watcher.scalar(count).toInt() - Cards;
        } catch (const EngineError&) {
            return 0; // the importing copy kept the file locked past the wait
        }
    };
    while (child.state() == QProcess::Running && importedSoFar() < killAt) {
        QThread::msleep(2);
    }
    QThread::msleep(ulong(extraMs));
    ::kill(pid_t(child.processId()), SIGKILL);
    child.waitForFinished();

    KillResult result;
    DirectSql after(cardConnectionString(folder));
    result.whole = after.scalar(QStringLiteral("PRAGMA integrity_check")) == u"ok";
    result.kept = after.scalar(count).toInt() - Cards;
    // The cards kept are the sheet's first rows, each once.
    result.prefix =
        result.kept >= 0 &&
        after.scalar(
            QStringLiteral("select count(distinct BName) from D_B where ID > %1").arg(Cards)) ==
            QString::number(result.kept) &&
        (result.kept == 0 ||
         after.scalar(
             QStringLiteral("select BName from D_B where ID = %1").arg(Cards + result.kept)) ==
             sheetRow(result.kept - 1)[1]);
    return result;
}

// Kills importing copies at random moments, each on a fresh copy of the database.
void killAtRandomMoments(const QTemporaryDir& root, const QString& database,
                         const QString& workbook, int kills) {
    int sound = 0;
    for (int i = 0; i < kills; ++i) {
        const QString folder = folderWith(root, QStringLiteral("kill%1").arg(i), database);
        const int killAt = QRandomGenerator::global()->bounded(Rows);
        const int extraMs = QRandomGenerator::global()->bounded(20);
        const KillResult killed = killImport(folder, workbook, killAt, extraMs);
        std::printf("kill %d at row %d +%d ms: integrity %s, rows kept %d, prefix %s\n", i + 1,
                    killAt, extraMs, killed.whole ? "ok" : "damaged", killed.kept,
                    killed.prefix ? "yes" : "no");
        sound += killed.whole && killed.prefix ? 1 : 0;
        QDir(folder).removeRecursively();
    }
    std::printf("kills_sound: %d of %d\n", sound, kills);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--import-child") {
        return runImportProgram(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }

    QTemporaryDir root;
    const QString workbook = root.filePath(QStringLiteral("cards.xlsx"));
    writeSheet(workbook);
    ProgramFixture program;
    generate(program.sql());
    // Copies of the file hold every card only once the write-ahead log (if any) is folded in.
    program.sql().exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    const QString database = program.database().databasePath();
    const QString pristine =
        folderWith(root, QStringLiteral("pristine"), database) + QStringLiteral("Data/db.edb");
    const QString killFolder = folderWith(root, QStringLiteral("kill"), database);

    program.start();
    const QStringList journal = journalSettings(program.store().engine());
    program.stop();

    // The program's import, from 导入 to the list read again, on a fresh copy each round.
    int round = 0;
    bool succeeded = true;
    int imported = 0;
    const auto programImport = [&] {
        ProgramFixture copy;
        QFile::remove(copy.database().databasePath());
        QFile::copy(pristine, copy.database().databasePath());
        copy.start();
        // The list as the start-up reads it is whole first: its rest, read in the
        // background, is the start-up's work, not the import's.
        frmMain->cardList->waitForAllRows();
        auto* window = new TfrmInData(frmMain, copy.store());
        window->show();
        Messages::queueFileName(workbook);
        window->openWorkbook();
        // The window painted with the sheet, as the user sees it before pressing 导入.
        QCoreApplication::processEvents();
        const Stopwatch stopwatch;
        window->importRows();
        frmMain->myRef();
        const Measured measured = stopwatch.elapsed();
        succeeded = succeeded && !Messages::shown().isEmpty() &&
                    Messages::shown().last().text.startsWith(QStringLiteral("数据导入 保存成功！"));
        imported = copy.sql().scalar(QStringLiteral("select count(*) from D_B")).toInt() - Cards;
        copy.stop();
        return measured;
    };
    const auto engineAlone = [&](bool grouped) {
        const QString folder = folderWith(root, QStringLiteral("engine%1").arg(++round), pristine);
        const Measured measured =
            engineImport(folder + QStringLiteral("Data/db.edb"), journal, grouped);
        QDir(folder).removeRecursively();
        return measured;
    };
    // Only the import itself is timed (not the copies and the start-up around it); the
    // order turns each round, so that no piece always runs first.
    const std::vector<std::function<Measured()>> pieces = {
        programImport, [&] { return engineAlone(false); }, [&] { return engineAlone(true); }};
    std::vector<std::vector<Measured>> runs(pieces.size());
    for (int r = 0; r < Rounds; ++r) {
        for (size_t k = 0; k < pieces.size(); ++k) {
            const size_t i = (k + size_t(r)) % pieces.size();
            runs[i].push_back(pieces[i]());
        }
    }
    const Timing importTiming = timingOf(runs[0]);
    const Timing engineTiming = timingOf(runs[1]);
    const Timing groupedTiming = timingOf(runs[2]);

    const KillResult killed = killImport(killFolder, workbook, KillAt, 0);
    const QString xls = convertedToXls(workbook);
    const double xlsxMs = readSheetMs(workbook);
    const double xlsMs = xls.isEmpty() ? -1 : readSheetMs(xls);

    std::printf("cards_before: %d\nsheet_rows: %d\n", Cards, Rows);
    std::printf("imported: %d\nimport_succeeded: %s\n", imported, succeeded ? "yes" : "no");
    print("open_sheet_10k_xls_ms", xlsMs); // -1: LibreOffice could not make the .xls
    print("open_sheet_10k_xlsx_ms", xlsxMs);
    print("open_sheet_xls_to_xlsx_ratio", xlsMs / xlsxMs);
    std::printf("rounds: %d\n", Rounds);
    print("import_10k", importTiming);
    print("engine_one_transaction_10k", engineTiming);
    print("engine_group_commit_10k", groupedTiming);
    // The whole import as the user waits for it (the rows, then the list read again) against
    // the engine's checks and inserts in one transaction.
    printRatio("import_vs_one_transaction", importTiming, engineTiming);
    // What committing every GroupRows rows or GroupMs costs the engine alone.
    printRatio("group_commit_vs_one_transaction", groupedTiming, engineTiming);
    std::printf("kill_halfway_integrity: %s\n", killed.whole ? "ok" : "damaged");
    std::printf("kill_halfway_rows_kept: %d\n", killed.kept);
    std::printf("kill_halfway_rows_are_first_rows: %s\n", killed.prefix ? "yes" : "no");
    if (qEnvironmentVariableIsSet("ORVANE_BENCH_KILLS")) {
        killAtRandomMoments(root, pristine, workbook,
                            qEnvironmentVariableIntValue("ORVANE_BENCH_KILLS"));
    }
    return 0;
}
