// The card list over 100,000 generated cards with 300,000 visits: the list refresh against the
// engine alone reading the same rows into memory, the in-memory sort by name, a title click,
// and the program's memory with the list loaded.

#include "app/datamodule.h"
#include "benchsupport.h"
#include "db/cardlist.h"
#include "db/connectionsettings.h"
#include "db/query.h"
#include "testsupport.h"
#include "ui/common/datagrid.h"
#include "ui/main/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
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

void generate(DirectSql& sql) {
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
            .arg(Cards));
    sql.exec(QStringLiteral(
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                 "INSERT INTO DList (DID, LDate, LType, LMemo) SELECT 1 + (i * 7919) % %2, "
                 "printf('%04d-%02d-%02d', 2005 + i % 4, 1 + i % 12, 1 + i % 28), '电话', "
                 "'拜访内容' || i FROM n")
                 .arg(Visits)
                 .arg(Cards));
}

// What the engine alone needs: the two statements of the refresh, every row read into memory.
double engineAloneMs(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(db, ("PRAGMA key = '" + databasePassword() + "'").toUtf8().constData(), nullptr,
                 nullptr, nullptr);
    const QByteArray list = cardListStatement(QString()).toUtf8();
    const QByteArray visits = visitCountStatement(QString()).toUtf8();
    auto readAll = [db](const QByteArray& sql) {
        std::vector<std::string> cells;
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt, nullptr);
        const int columns = sqlite3_column_count(stmt);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
                cells.emplace_back(text ? text : "", size_t(sqlite3_column_bytes(stmt, c)));
            }
        }
        sqlite3_finalize(stmt);
        return cells.size();
    };
    const double ms = medianMs(Runs, [&] {
        readAll(list);
        readAll(visits);
    });
    sqlite3_close_v2(db);
    return ms;
}

long residentMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toLong() / 1024;
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ProgramFixture program;
    generate(program.sql());
    const double engineMs = engineAloneMs(program.database().databasePath());

    program.start();
    const double refreshMs = medianMs(Runs, [] { frmMain->myRef(); });
    const long rssMb = residentMb();

    const int nameColumn = frmMain->ADOQuery1->result()->columnIndex(QStringLiteral("姓名"));
    const double sortMs = medianMs(Runs, [] {
        frmMain->ADOQuery1->setSort(QString());
        frmMain->ADOQuery1->setSort(QStringLiteral("姓名 ASC"));
    });
    // A column whose every value differs: each one is collated.
    const double distinctSortMs = medianMs(Runs, [] {
        frmMain->ADOQuery1->setSort(QString());
        frmMain->ADOQuery1->setSort(QStringLiteral("电子邮箱 ASC"));
    });
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
    for (frmMain->ADOQuery1->first(); !frmMain->ADOQuery1->eof(); frmMain->ADOQuery1->next()) {
    }
    QApplication::processEvents();
    const double walkMs = walk.nsecsElapsed() / 1e6;

    std::printf("cards: %d\nvisits: %d\n", Cards, Visits);
    print("engine_read_ms", engineMs);
    print("myref_ms", refreshMs);
    print("myref_ratio_to_engine", refreshMs / engineMs);
    print("sort_by_name_ms", sortMs);
    print("sort_ratio_to_myref", sortMs / refreshMs);
    print("sort_by_distinct_column_ms", distinctSortMs);
    print("sort_distinct_ratio_to_myref", distinctSortMs / refreshMs);
    print("title_click_ms", clicks[clicks.size() / 2]);
    print("title_click_ratio_to_myref", clicks[clicks.size() / 2] / refreshMs);
    print("walk_with_grid_ms", walkMs);
    print("rss_mb_with_list", double(rssMb));
    program.stop();
    return 0;
}
