// 查找 over generated cards: opening the window from the main window (the live cards indexed
// once: the main list's, since it has no filter, once the list is whole), then every keystroke of a
// few searches, as typed, with the grid of found cards following. The baseline is the plainest
// search in the same run: every value of every card compared with the typed text, ignoring letter
// case, without pinyin.
//
//   bench_find                             100,000 cards
//   ORVANE_BENCH_MILLION=1 bench_find      then a million cards
//                                          (ORVANE_BENCH_DB_1000000=<file>: made before)

#include "benchcards.h"
#include "benchsupport.h"
#include "db/cardstore.h"
#include "db/query.h"
#include "testsupport.h"
#include "ui/find/findwindow.h"
#include "ui/main/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <vector>

namespace {

// The plainest search: every value of every card, letter case aside.
int plainScan(const ResultSet& cards, const QString& typed) {
    int found = 0;
    for (int row = 0; row < cards.rowCount(); ++row) {
        for (int column = 1; column < cards.columnCount(); ++column) {
            if (cards.text(row, column).contains(typed, Qt::CaseInsensitive)) {
                ++found;
                break;
            }
        }
    }
    return found;
}

// Each search typed key by key into an empty box; one letter finds the most cards. The time
// of each keystroke, until the found cards are shown.
std::vector<double> typeSearches(TfrmFind* find) {
    const QStringList searches = {QStringLiteral("zwy"),      QStringLiteral("wfe"),
                                  QStringLiteral("zhangwei"), QStringLiteral("13810"),
                                  QStringLiteral("user99@"),  QStringLiteral("某某科技"),
                                  QStringLiteral("mmkj"),     QStringLiteral("城市4")};
    std::vector<double> keystrokes;
    for (const QString& search : searches) {
        find->searchBox->clear();
        QApplication::processEvents();
        for (qsizetype typed = 1; typed <= search.size(); ++typed) {
            QElapsedTimer key;
            key.start();
            find->searchBox->setText(search.left(typed));
            QApplication::processEvents();
            keystrokes.push_back(double(key.nsecsElapsed()) / 1e6);
        }
    }
    return keystrokes;
}

void measure(int cards, const std::string& suffix) {
    ProgramFixture program;
    placeCards(program.database().folder(), cards);
    program.start();
    while (!frmMain->cardList->whole()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    // 查找 opened from the main window, as the user opens it; the window is modal, so the
    // searches run from inside its event loop.
    double openMs = 0;
    std::vector<double> keystrokes;
    long rssMb = 0;
    QElapsedTimer opening;
    opening.start();
    QTimer shown;
    QObject::connect(&shown, &QTimer::timeout, [&] {
        auto* find = qobject_cast<TfrmFind*>(QApplication::activeModalWidget());
        if (!find) {
            return; // still waiting for the list, or indexing it
        }
        shown.stop();
        openMs = double(opening.nsecsElapsed()) / 1e6;
        keystrokes = typeSearches(find);
        rssMb = residentMb();
        find->close();
    });
    shown.start(1);
    frmMain->findCards();
    std::sort(keystrokes.begin(), keystrokes.end());
    const double slowest = keystrokes.back();

    // The same live cards the window indexed, read again for the baseline.
    const std::shared_ptr<ResultSet> live = program.store().cardList(FilterInput());
    const ResultSet& listed = *live;
    const double plainMs =
        timeRuns(3, [&listed] { plainScan(listed, QStringLiteral("z")); }).medianMs;
    program.stop();

    std::printf("cards_%s: %d\nkeystrokes: %zu\n", suffix.c_str(), cards, keystrokes.size());
    print(("find_open_" + suffix + "_ms").c_str(), openMs);
    print(("find_" + suffix + "_ms").c_str(), slowest);
    print(("find_median_keystroke_" + suffix + "_ms").c_str(), keystrokes[keystrokes.size() / 2]);
    print(("plain_scan_" + suffix + "_ms").c_str(), plainMs);
    print(("find_ratio_to_plain_scan_" + suffix).c_str(), slowest / plainMs);
    print(("rss_" + suffix + "_mb_with_find_open").c_str(), double(rssMb));
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    measure(100000, "100k");
    if (qEnvironmentVariableIsSet("ORVANE_BENCH_MILLION")) {
        measure(1000000, "1m");
    }
    return 0;
}
