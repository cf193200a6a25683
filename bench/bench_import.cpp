// The card import of a 10,000-row sheet into a database already holding 100,000 cards, against
// the engine alone running the same 10,000 inserts as single statements, and all of them in
// one transaction; reading the same sheet from an .xls (as LibreOffice converts the .xlsx) and
// from the .xlsx; and a copy of the
// program killed halfway through such an import, after which the database must be whole and
// keep the rows imported before the kill.
//
//   bench_import                               the figures
//   ORVANE_BENCH_KILLS=20 bench_import         then 20 kills of an importing copy at random
//                                              moments, each checked as the one halfway
//   bench_import --import-child <folder> <xlsx>  (internal) the importing copy

#include "benchsupport.h"
#include "db/cardfields.h"
#include "db/cards.h"
#include "db/cardstore.h"
#include "db/cipherfile.h"
#include "db/connection.h"
#include "db/connectionsettings.h"
#include "db/engineerror.h"
#include "db/filedialect.h"
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
#include <sqlite3.h>
#include <xlsxwriter.h>

namespace {

constexpr int Cards = 100000;
constexpr int Rows = 10000;
constexpr int KillAt = Rows / 2;

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

// The statements of the import on the engine alone, under the journal settings of the
// program's connection: each row's duplicate check and insert, each insert committed on its
// own; or the inserts alone, all in one transaction.
double engineInsertsMs(const QString& databasePath, const QStringList& journal,
                       bool oneTransaction) {
    sqlite3* db = nullptr;
    openCardFile(QFile::encodeName(databasePath), databasePassword().toUtf8(),
                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, {}, &db);
    for (const QString& pragma : journal) {
        sqlite3_exec(db, pragma.toUtf8().constData(), nullptr, nullptr, nullptr);
    }
    std::vector<QByteArray> statements;
    for (int r = 0; r < Rows; ++r) {
        CardValues card;
        const QStringList values = sheetRow(r);
        for (int c = 0; c < values.size(); ++c) {
            card.insert(cardFields()[size_t(c)].column, values[c]);
        }
        if (!oneTransaction) {
            statements.push_back(duplicateCheckStatement(fileDialect(), card).toUtf8());
        }
        statements.push_back(
            cardInsertStatement(fileDialect(), QStringLiteral("2008-03-07"), card).toUtf8());
    }
    QElapsedTimer timer;
    timer.start();
    if (oneTransaction) {
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    }
    for (const QByteArray& statement : statements) {
        if (sqlite3_exec(db, statement.constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "engine statement failed: %s\n", sqlite3_errmsg(db));
        }
    }
    if (oneTransaction) {
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
    const double ms = timer.nsecsElapsed() / 1e6;
    sqlite3_close_v2(db);
    return ms;
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
    const QString engineFolder = folderWith(root, QStringLiteral("engine"), database);
    const QString killFolder = folderWith(root, QStringLiteral("kill"), database);
    const QString batchFolder = folderWith(root, QStringLiteral("batch"), database);

    program.start();
    const QStringList journal = journalSettings(program.store().engine());
    const double engineMs =
        engineInsertsMs(engineFolder + QStringLiteral("Data/db.edb"), journal, false);
    const double oneTransactionMs =
        engineInsertsMs(batchFolder + QStringLiteral("Data/db.edb"), journal, true);
    auto* window = new TfrmInData(frmMain, program.store());
    window->show();
    Messages::queueFileName(workbook);
    QElapsedTimer timer;
    timer.start();
    window->openWorkbook();
    const double openMs = timer.nsecsElapsed() / 1e6;
    timer.restart();
    window->importRows();
    const double importMs = timer.nsecsElapsed() / 1e6;
    timer.restart();
    frmMain->myRef();
    const double refreshMs = timer.nsecsElapsed() / 1e6;
    const bool succeeded = !Messages::shown().isEmpty() &&
                           Messages::shown().last().text == QStringLiteral("数据导入 保存成功！");
    const int imported =
        program.sql().scalar(QStringLiteral("select count(*) from D_B")).toInt() - Cards;
    program.stop();

    const KillResult killed = killImport(killFolder, workbook, KillAt, 0);
    const QString xls = convertedToXls(workbook);
    const double xlsxMs = readSheetMs(workbook);
    const double xlsMs = xls.isEmpty() ? -1 : readSheetMs(xls);

    std::printf("cards_before: %d\nsheet_rows: %d\n", Cards, Rows);
    std::printf("imported: %d\nimport_succeeded: %s\n", imported, succeeded ? "yes" : "no");
    print("open_sheet_10k_ms", openMs);
    print("open_sheet_10k_xls_ms", xlsMs); // -1: LibreOffice could not make the .xls
    print("open_sheet_10k_xlsx_ms", xlsxMs);
    print("open_sheet_xls_to_xlsx_ratio", xlsMs / xlsxMs);
    print("import_10k_ms", importMs);
    print("list_refresh_110k_ms", refreshMs); // part of the import, which ends with it
    print("engine_checks_and_inserts_10k_ms", engineMs);
    print("import_ratio", importMs / engineMs);
    print("engine_inserts_one_transaction_10k_ms", oneTransactionMs);
    // The whole import as the user waits for it: the rows with the grid following, then the
    // list read again.
    print("import_vs_one_transaction", (importMs + refreshMs) / oneTransactionMs);
    std::printf("kill_halfway_integrity: %s\n", killed.whole ? "ok" : "damaged");
    std::printf("kill_halfway_rows_kept: %d\n", killed.kept);
    std::printf("kill_halfway_rows_are_first_rows: %s\n", killed.prefix ? "yes" : "no");
    if (qEnvironmentVariableIsSet("ORVANE_BENCH_KILLS")) {
        killAtRandomMoments(root, pristine, workbook,
                            qEnvironmentVariableIntValue("ORVANE_BENCH_KILLS"));
    }
    return 0;
}
