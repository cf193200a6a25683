// How soon another program's change shows in the list of a program on the same server
// register: from the other program's commit to the list holding the new card, against the
// notice alone reaching a listener on a thread of its own (the floor any refresh stands on).
// Prints the median and the 99th percentile of both, for a list of 10,000 and of 100,000
// cards.

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
CardValues newCard(const QString& name) {
    return cardValues(QStringLiteral("客户"), name, QStringLiteral("男"));
}

double percentile(std::vector<double> values, int percent) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, values.size() * size_t(percent) / 100)];
}

void measure(const QString& server, int cards, int changes, const std::string& name) {
    ScratchServerDatabase db(server);
    PgConnection(db.connectionString()).select(QStringLiteral("select 1")); // the register
    db.run(QStringLiteral("insert into D_B (theDate, theType, BName, BSex, theDel) select "
                          "'2024-01-01', '客户', '名片' || g, '男', '否' "
                          "from generate_series(1, %1) g")
               .arg(cards));

    Program program(TfrmMain::FirstList::BeforeShowing, db.connectionString());
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
    CardStore other(std::make_unique<PgConnection>(db.connectionString()));

    std::vector<double> refreshMs, noticeMs;
    for (int i = 0; i < changes; ++i) {
        const int expected = frmMain->cardList->recordCount() + 1;
        noticedNs = -1;
        other.insertCard(newCard(QStringLiteral("新名片%1").arg(i)), QStringLiteral("2024-06-01"));
        const qint64 committedNs = clock.nsecsElapsed();
        while (frmMain->cardList->recordCount() != expected) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        }
        refreshMs.push_back((clock.nsecsElapsed() - committedNs) / 1e6);
        while (noticedNs < 0) {
            QThread::msleep(1);
        }
        noticeMs.push_back((noticedNs - committedNs) / 1e6);
    }
    listener.quit();
    listener.wait();
    print((name + "_refresh_p50_ms").c_str(), percentile(refreshMs, 50));
    print((name + "_refresh_p99_ms").c_str(), percentile(refreshMs, 99));
    print((name + "_notice_p50_ms").c_str(), percentile(noticeMs, 50));
    print((name + "_notice_p99_ms").c_str(), percentile(noticeMs, 99));
    Messages::queueAnswer(true);
    frmMain->close();
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Messages::setScripted(true);
    PrivateServer own{QStringList()}; // the server's usual settings: commits reach the disk
    measure(own.connectionString(), 10000, 50, "team_10k");
    measure(own.connectionString(), 100000, 20, "team_100k");
    return 0;
}
