// How soon another program's change shows in the list of a program on the same server
// register: from the other program's commit (a session of its own, as another PC's program)
// to the list holding the new card, against the notice alone reaching a listener on a thread
// of its own (the floor any list stands on). Prints the median and the 99th percentile of
// both, wall and CPU time of this process per change, for a list of 100,000 cards (and of a
// million with ORVANE_BENCH_MILLION=1); then what one save of this program costs beyond its
// own statements: reads of the whole list (goal 0) and new server sessions (goal 0). Every
// wait has a time limit: a change that never shows fails the benchmark.

#include "app/program.h"
#include "benchsupport.h"
#include "db/cardstore.h"
#include "db/changewatcher.h"
#include "db/pgconnection.h"
#include "db/query.h"
#include "testserver.h"
#include "testsupport.h"
#include "ui/common/messages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <string>

namespace {
constexpr qint64 WaitLimitMs = 30000;

double percentile(std::vector<double> values, int percent) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, values.size() * size_t(percent) / 100)];
}

[[noreturn]] void giveUp(const char* what) {
    std::fprintf(stderr, "bench_teamrefresh: %s did not come within %lld ms\n", what,
                 static_cast<long long>(WaitLimitMs));
    std::exit(1);
}

// Runs the window's events until done says so, at most WaitLimitMs.
template <typename Done> void waitFor(Done done, const char* what) {
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > WaitLimitMs) {
            giveUp(what);
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
}

QString insertStatement(const QString& name) {
    return QStringLiteral("insert into D_B (theDate, theType, BName, BSex, theDel) values "
                          "('2024-06-01', '客户', '%1', '男', '否')")
        .arg(name);
}

void measure(const QString& server, int cards, int changes, const std::string& name) {
    ScratchServerDatabase db(server);
    PgConnection(db.connectionString()).select(QStringLiteral("select 1")); // the register
    db.run(QStringLiteral("insert into D_B (theDate, theType, BName, BSex, theDel) select "
                          "'2024-01-01', '客户', '名片' || g, '男', '否' "
                          "from generate_series(1, %1) g")
               .arg(cards));

    Program program(TfrmMain::FirstList::BeforeShowing, db.connectionString());
    waitFor([] { return frmMain->cardList->whole(); }, "the whole list");
    QElapsedTimer clock;
    clock.start();
    std::atomic<qint64> noticedNs{-1};
    QThread listener;
    auto* notices = new ChangeWatcher(db.connectionString());
    notices->moveToThread(&listener);
    QObject::connect(
        notices, &ChangeWatcher::changed, notices, [&] { noticedNs = clock.nsecsElapsed(); },
        Qt::DirectConnection);
    QObject::connect(&listener, &QThread::finished, notices, &QObject::deleteLater);
    listener.start();
    QMetaObject::invokeMethod(notices, &ChangeWatcher::start, Qt::BlockingQueuedConnection);
    ServerSession other(db.connectionString());

    std::vector<double> refreshMs, noticeMs, cpuMs;
    const int readsBefore = CardStore::listReads();
    for (int i = 0; i < changes; ++i) {
        const int expected = frmMain->cardList->recordCount() + 1;
        noticedNs = -1;
        other.run(insertStatement(QStringLiteral("新名片%1").arg(i)));
        const qint64 committedNs = clock.nsecsElapsed();
        const double cpuStart = cpuNowMs();
        waitFor([&] { return frmMain->cardList->recordCount() == expected; }, "the new card");
        refreshMs.push_back((clock.nsecsElapsed() - committedNs) / 1e6);
        cpuMs.push_back(cpuNowMs() - cpuStart);
        waitFor([&] { return noticedNs >= 0; }, "the notice");
        noticeMs.push_back((noticedNs - committedNs) / 1e6);
    }
    listener.quit();
    listener.wait();
    print(("change_to_list_p50_ms_" + name).c_str(), percentile(refreshMs, 50));
    print(("change_to_list_p99_ms_" + name).c_str(), percentile(refreshMs, 99));
    print(("change_to_list_cpu_p50_ms_" + name).c_str(), percentile(cpuMs, 50));
    print(("notice_p50_ms_" + name).c_str(), percentile(noticeMs, 50));
    print(("notice_p99_ms_" + name).c_str(), percentile(noticeMs, 99));
    print(("list_reads_for_changes_" + name).c_str(), CardStore::listReads() - readsBefore);

    // One save of this program, as the card editor makes it.
    // Read over the other program's session, which stays open: asking opens none.
    const auto sessions = [&other] {
        other.run(QStringLiteral("select pg_stat_clear_snapshot()"));
        return other
            .run(QStringLiteral("select sessions from pg_stat_database "
                                "where datname = current_database()"))
            .toLongLong();
    };
    QThread::msleep(1500); // the server's statistics are written at most once a second
    const qint64 sessionsBefore = sessions();
    const int readsBeforeSave = CardStore::listReads();
    const int expected = frmMain->cardList->recordCount() + 1;
    program.store().insertCard(
        cardValues(QStringLiteral("客户"), QStringLiteral("自己的"), QStringLiteral("男")),
        QStringLiteral("2024-06-02"));
    waitFor([&] { return frmMain->cardList->recordCount() == expected; }, "the own card");
    QThread::msleep(1500);
    print(("own_save_list_reads_" + name).c_str(), CardStore::listReads() - readsBeforeSave);
    print(("own_save_new_sessions_" + name).c_str(), double(sessions() - sessionsBefore));
    Messages::queueAnswer(true);
    frmMain->close();
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Messages::setScripted(true);
    PrivateServer own{QStringList()}; // the server's usual settings: commits reach the disk
    measure(own.connectionString(), 100000, 50, "100k");
    if (qEnvironmentVariableIntValue("ORVANE_BENCH_MILLION") == 1) {
        measure(own.connectionString(), 1000000, 20, "1m");
    }
    return 0;
}
