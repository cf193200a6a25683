// The card list of the main window over generated cards (three visits each): the refresh as
// the user meets it (the first screen at once, the counters and the rest of the list read in
// the background, until the whole list is held) against the engine alone reading the same
// rows and counting the same visits over a connection opened as the program opens it, the
// two in turn for five rounds; the longest time the window does not answer during the
// refreshes (a timer that should fire every 5 ms, and the largest gap between its firings);
// the program's memory with the whole list held; and a refresh of the list sorted by name
// (the sort following once the list is whole), and of the list under a filter that lets few
// cards through, each with its longest stall.
//
//   bench_cardlist                             100,000 cards
//   ORVANE_BENCH_MILLION=1 bench_cardlist      then a million cards (several minutes;
//                                              ORVANE_BENCH_DB_1000000=<file>: made before)

#include "benchcards.h"
#include "benchsupport.h"
#include "db/cardlist.h"
#include "db/cipherfile.h"
#include "db/connectionsettings.h"
#include "db/filedialect.h"
#include "db/query.h"
#include "testsupport.h"
#include "ui/main/mainwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace {

constexpr int Rounds = 5;

// What the engine alone needs: the list and its visit count, every value read into one
// buffer, over a connection opened as the program opens it (its page size and cache, no
// mutex).
class EngineAlone {
public:
    explicit EngineAlone(const QString& path) {
        openCardFile(QFile::encodeName(path), databasePassword().toUtf8(),
                     SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, {}, &m_db);
    }
    ~EngineAlone() { sqlite3_close_v2(m_db); }
    void read() {
        readAll(cardListStatement(fileDialect(), QString()).toUtf8());
        readAll(visitCountStatement(QString()).toUtf8());
    }

private:
    void readAll(const QByteArray& sql) {
        std::string values;
        std::vector<quint32> ends;
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &stmt, nullptr);
        const int columns = sqlite3_column_count(stmt);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
                values.append(text ? text : "", size_t(sqlite3_column_bytes(stmt, c)));
                ends.push_back(quint32(values.size()));
            }
        }
        sqlite3_finalize(stmt);
    }
    sqlite3* m_db = nullptr;
};

// The largest gap between the firings of a timer on the window's thread.
class StallWatch : public QObject {
public:
    StallWatch() {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const double now = wallNowMs();
            longestMs = std::max(longestMs, now - m_last);
            m_last = now;
        });
    }
    void start() {
        m_last = wallNowMs();
        m_timer.start(5);
    }
    void stop() { m_timer.stop(); }
    double longestMs = 0;

private:
    QTimer m_timer;
    double m_last = 0;
};

// A refresh as the user meets it: the list read again, the window's events running until the
// whole list is held.
void waitUntilWhole() {
    while (!frmMain->cardList->whole()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    QApplication::processEvents();
}

void refreshUntilWhole() {
    frmMain->myRef();
    waitUntilWhole();
}

void measure(int cards, const std::string& suffix) {
    ProgramFixture program;
    placeCards(program.database().folder(), cards);
    program.start();
    refreshUntilWhole();
    EngineAlone engine(program.database().databasePath());
    StallWatch stalls;
    const std::vector<Timing> timings = interleaved(Rounds, {[&] {
                                                                 stalls.start();
                                                                 refreshUntilWhole();
                                                                 stalls.stop();
                                                             },
                                                             [&] { engine.read(); }});
    const long rssMb = residentMb();
    const int listed = frmMain->cardList->recordCount();
    // A refresh of the list sorted by name: the sort follows once the list is whole.
    frmMain->cardList->setSort(QStringLiteral("姓名 ASC"));
    StallWatch sortedStalls;
    const Timing sortedRefresh = timeRuns(3, [&] {
        sortedStalls.start();
        frmMain->refreshKeepingPlace();
        while (frmMain->cardList->sort().isEmpty()) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        sortedStalls.stop();
    });
    // A filter that lets few cards through (one name in 4,000): 查询 until its first screen
    // is shown, and until the whole list is held.
    frmMain->findChild<QCheckBox*>(QStringLiteral("CheckBox3"))->setChecked(true);
    frmMain->findChild<QLineEdit*>(QStringLiteral("Edit3"))->setText(QStringLiteral("张伟一"));
    StallWatch filteredStalls;
    std::vector<double> firstScreenMs;
    const Timing filteredRefresh = timeRuns(3, [&] {
        filteredStalls.start();
        const double start = wallNowMs();
        frmMain->applyFilter();
        firstScreenMs.push_back(wallNowMs() - start);
        waitUntilWhole();
        filteredStalls.stop();
    });
    Timing filteredFirstScreen;
    minAndMedian(firstScreenMs, filteredFirstScreen.minMs, filteredFirstScreen.medianMs);
    program.stop();

    std::printf("cards_%s: %d\nlisted_%s: %d\n", suffix.c_str(), cards, suffix.c_str(), listed);
    print("refresh_" + suffix, timings[0]);
    print("engine_read_" + suffix, timings[1]);
    printRatio("refresh_" + suffix + "_ratio", timings[0], timings[1]);
    // The figure of the million cards is the one the goal names.
    print((suffix == "1m" ? std::string("ui_stall_max_ms") : "ui_stall_max_" + suffix + "_ms")
              .c_str(),
          stalls.longestMs);
    print(("rss_" + suffix + "_mb_with_list").c_str(), double(rssMb));
    print("sorted_refresh_" + suffix, sortedRefresh);
    print("filtered_refresh_" + suffix, filteredRefresh);
    print(("filtered_first_screen_" + suffix + "_ms").c_str(), filteredFirstScreen.medianMs);
    print(("ui_stall_filtered_refresh_max_" + suffix + "_ms").c_str(), filteredStalls.longestMs);
    print(("ui_stall_sorted_refresh_max_" + suffix + "_ms").c_str(), sortedStalls.longestMs);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("rounds: %d\n", Rounds);
    measure(100000, "100k");
    if (qEnvironmentVariableIsSet("ORVANE_BENCH_MILLION")) {
        measure(1000000, "1m");
    }
    return 0;
}
