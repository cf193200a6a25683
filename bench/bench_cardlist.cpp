// The card list over 100,000 generated cards with 300,000 visits: the list refresh against the
// engine alone reading the same rows into memory, and against the same refresh on the
// database as earlier builds wrote it (1 KB pages, the engine's default cache); the in-memory
// sorts, a title click, and the program's memory with the list loaded.
//
//   bench_cardlist                             100,000 cards
//   ORVANE_BENCH_MILLION=1 bench_cardlist      then a million cards (several minutes)

#include "benchsupport.h"
#include "db/cardlist.h"
#include "db/cardstore.h"
#include "db/cipherfile.h"
#include "db/connection.h"
#include "db/connectionsettings.h"
#include "db/filedialect.h"
#include "db/query.h"
#include "db/sqltext.h"
#include "testsupport.h"
#include "ui/common/datagrid.h"
#include "ui/common/messages.h"
#include "ui/main/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace {

constexpr int Cards = 100000;
constexpr int Visits = 300000;
constexpr int Runs = 5;

void generate(DirectSql& sql, int cards, int visits) {
    sql.exec(
        QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
            "INSERT INTO D_B (theDate, theType, BName, BSex, BPho, BMob, BMail, BQQ, BMSN, BWW, "
            "BDes, DArea, DCity, DName, DPart, DJob, DAdd, DPho, DFax, DPos, DWWW, FAdd, FPho, "
            "FPro, FDes, theDel) SELECT "
            "printf('%04d-%02d-%02d', 2000 + i % 9, 1 + i % 12, 1 + i % 28), "
            "substr('客户同事朋友同学家人其他', 1 + (i % 6) * 2, 2), "
            "substr('张王李赵刘陈杨黄周吴徐孙马朱胡郭何高林罗', 1 + i % 20, 1) || "
            "substr('伟芳娜敏静丽强磊军洋勇艳杰娟涛明超秀霞平', 1 + (i / 20) % 20, 1) || "
            "substr('一二三四五六七八九十', 1 + (i / 400) % 10, 1), "
            "substr('男女', 1 + i % 2, 1), "
            "'010-' || (60000000 + i), '138' || (10000000 + i), 'user' || i || '@example.com', "
            "'' || (100000 + i), '', 'ww' || i, '老客户，合作多年', "
            "substr('北京上海广东浙江江苏四川', 1 + (i % 6) * 2, 2), '城市' || (i % 50), "
            "'某某科技有限公司' || (i % 1000), '销售部', '经理', '某路' || i || '号', "
            "'021-' || (50000000 + i), '021-' || (40000000 + i), '' || (100000 + i % 900000), "
            "'www.example' || i || '.com', '家庭住址' || i, '' || (80000000 + i), '家属', "
            "'', '否' FROM n")
            .arg(cards));
    sql.exec(QStringLiteral(
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                 "INSERT INTO DList (DID, LDate, LType, LMemo) SELECT 1 + (i * 7919) % %2, "
                 "printf('%04d-%02d-%02d', 2005 + i % 4, 1 + i % 12, 1 + i % 28), '电话', "
                 "'拜访内容' || i FROM n")
                 .arg(visits)
                 .arg(cards));
}

// What the engine alone needs: the two statements of the refresh, every value read into one
// buffer, over a connection opened as the program opens it (its page size and cache, no
// mutex).
Timing engineAlone(const QString& path, int runs) {
    sqlite3* db = nullptr;
    openCardFile(QFile::encodeName(path), databasePassword().toUtf8(),
                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, {}, &db);
    const QByteArray list = cardListStatement(fileDialect(), QString()).toUtf8();
    const QByteArray visits = visitCountStatement(QString()).toUtf8();
    auto readAll = [db](const QByteArray& sql) {
        std::string values;
        std::vector<quint32> ends;
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt, nullptr);
        const int columns = sqlite3_column_count(stmt);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
                values.append(text ? text : "", size_t(sqlite3_column_bytes(stmt, c)));
                ends.push_back(quint32(values.size()));
            }
        }
        sqlite3_finalize(stmt);
        return ends.size();
    };
    const Timing timing = timeRuns(runs, [&] {
        readAll(list);
        readAll(visits);
    });
    sqlite3_close_v2(db);
    return timing;
}

// The same database written as the program wrote it before: 1 KB pages.
void copyWithOlderPages(DirectSql& sql, const QString& target) {
    QFile::remove(target);
    QFile empty(target);
    empty.open(QIODevice::WriteOnly);
    empty.close();
    sql.exec(QStringLiteral("ATTACH DATABASE '%1' AS older KEY '%2'")
                 .arg(sqlText(target), sqlText(databasePassword())));
    sql.exec(QStringLiteral("PRAGMA older.cipher_page_size = 1024"));
    sql.exec(QStringLiteral("SELECT sqlcipher_export('older')"));
    sql.exec(QStringLiteral("DETACH DATABASE older"));
}

// The start-up of the program over a large database: from creating the main window to its
// first paint, and to the list filled.
struct Startup {
    double firstPaintMs = 0;
    double listFilledMs = 0;
};

// Notes the time of the window's first paint.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(const QElapsedTimer& sinceStart) : m_sinceStart(sinceStart) {}
    double paintedMs = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && paintedMs < 0) {
            paintedMs = m_sinceStart.nsecsElapsed() / 1e6;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const QElapsedTimer& m_sinceStart;
};

std::unique_ptr<Program> running; // the program that startProgram() started

Startup startProgram() {
    QElapsedTimer timer;
    timer.start();
    running = std::make_unique<Program>(TfrmMain::FirstList::AfterFirstPaint);
    FirstPaint paint(timer);
    frmMain->installEventFilter(&paint);
    frmMain->show();
    while (!frmMain->startupDone()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    Startup startup;
    startup.firstPaintMs = paint.paintedMs;
    startup.listFilledMs = timer.nsecsElapsed() / 1e6;
    frmMain->removeEventFilter(&paint);
    return startup;
}

void stopProgram() {
    Messages::queueAnswer(true);
    frmMain->close();
    running.reset();
}

// A title click's sort of the list, from the statement's order.
Timing sortTiming(const QString& column, int runs) {
    return timeRuns(runs, [&] {
        frmMain->cardList->setSort(QString());
        frmMain->cardList->setSort(column + QStringLiteral(" ASC"));
    });
}

// The list of a million cards: the refresh against the engine alone, the sort by a column
// whose every value differs, the memory, and the start-up.
void millionCards() {
    constexpr int Million = 1000000;
    constexpr int MillionRuns = 3;
    ProgramFixture program;
    generate(program.sql(), Million, 3 * Million);
    const Timing engine = engineAlone(program.database().databasePath(), MillionRuns);
    const Startup startup = startProgram();
    const Timing refresh = timeRuns(MillionRuns, [] { frmMain->myRef(); });
    const long rssMb = residentMb();
    const Timing distinct = sortTiming(QStringLiteral("电子邮箱"), MillionRuns);
    stopProgram();

    print("cards_1m", Million);
    print("engine_read_1m", engine);
    print("myref_1m", refresh);
    print("refresh_1m_ratio", refresh.medianMs / engine.medianMs);
    print("sort_distinct_1m", distinct);
    print("sort_distinct_1m_over_refresh", distinct.medianMs / refresh.medianMs);
    print("rss_1m_mb", double(rssMb));
    print("first_paint_1m_ms", startup.firstPaintMs);
    print("list_filled_1m_ms", startup.listFilledMs);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir scratch;
    ProgramFixture program;
    generate(program.sql(), Cards, Visits);
    const QString olderPages = scratch.filePath(QStringLiteral("older.edb"));
    copyWithOlderPages(program.sql(), olderPages);
    const Timing engine = engineAlone(program.database().databasePath(), Runs);

    program.start();
    const Timing refresh = timeRuns(Runs, [] { frmMain->myRef(); });
    const long rssMb = residentMb();

    const int nameColumn = frmMain->cardList->result()->columnIndex(QStringLiteral("姓名"));
    const Timing byName = sortTiming(QStringLiteral("姓名"), Runs);
    // A column whose every value differs: each one is collated.
    const Timing distinct = sortTiming(QStringLiteral("电子邮箱"), Runs);
    // A title click on a fresh list, timed without the refresh that resets the sort.
    std::vector<double> clicks;
    for (int i = 0; i < Runs; ++i) {
        frmMain->myRef();
        QElapsedTimer timer;
        timer.start();
        frmMain->DBGrid1->titleClick(nameColumn);
        clicks.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(clicks.begin(), clicks.end());

    // Walking the whole list through its cursor, as the export does, with the grid following.
    frmMain->myRef();
    QElapsedTimer walk;
    walk.start();
    for (frmMain->cardList->first(); !frmMain->cardList->eof(); frmMain->cardList->next()) {
    }
    QApplication::processEvents();
    const double walkMs = walk.nsecsElapsed() / 1e6;
    program.stop();

    // The same refresh on the database as the program wrote it before (1 KB pages), with the
    // engine's default page cache.
    ProgramFixture today;
    QFile::remove(today.database().databasePath());
    QFile::copy(olderPages, today.database().databasePath());
    today.start();
    today.store().engine().execute(QStringLiteral("PRAGMA cache_size = -2000"));
    const Timing todayRefresh = timeRuns(Runs, [] { frmMain->myRef(); });
    today.stop();

    std::printf("cards: %d\nvisits: %d\n", Cards, Visits);
    print("engine_read", engine);
    print("myref", refresh);
    print("refresh_ratio", refresh.medianMs / engine.medianMs);
    print("myref_today_1k_pages_default_cache", todayRefresh);
    print("refresh_vs_today_ms_ratio", refresh.medianMs / todayRefresh.medianMs);
    print("sort_by_name", byName);
    print("sort_ratio_to_myref", byName.medianMs / refresh.medianMs);
    print("sort_by_distinct_column", distinct);
    print("sort_distinct_ratio_to_myref", distinct.medianMs / refresh.medianMs);
    print("title_click_ms", clicks[clicks.size() / 2]);
    print("title_click_ratio_to_myref", clicks[clicks.size() / 2] / refresh.medianMs);
    print("walk_with_grid_ms", walkMs);
    print("rss_mb_with_list", double(rssMb));

    if (qEnvironmentVariableIsSet("ORVANE_BENCH_MILLION")) {
        millionCards();
    }
    return 0;
}
