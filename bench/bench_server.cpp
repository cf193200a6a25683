// The card register on a PostgreSQL server (a private one, started with the server's usual
// settings): the whole card list read by the program against libpq's own COPY of the same
// statement into one buffer, runs interleaved; the peak memory of a process reading the list
// from the server against one reading it from a card file of the same cards; one card added at
// a time with its duplicate check and its own commit; an import of 10,000 rows into the
// register, card by card against all in one transaction.
//
//   bench_server                             100,000 cards
//   ORVANE_BENCH_MILLION=1 bench_server      then a million cards (several minutes)

#include "benchcards.h"
#include "benchsupport.h"
#include "db/cardlist.h"
#include "db/cards.h"
#include "db/pgconnection.h"
#include "db/registercopy.h"
#include "db/sqlcipherconnection.h"
#include "testserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <libpq-fe.h>
#include <numeric>
#include <string>
#include <vector>

namespace {
constexpr int Runs = 5;

QString listStatement(Connection& engine) {
    return cardListStatement(engine.dialect(), QString());
}

// libpq alone: the same statement copied out into one buffer, which grows as the rows come
// (sized: reserved beforehand at the size the previous read needed, which no reader can know).
void copyIntoOneBuffer(PGconn* conn, const QByteArray& statement, bool sized) {
    static size_t lastSize = 0;
    PGresult* started = PQexec(conn, "COPY (" + statement + ") TO STDOUT");
    PQclear(started);
    std::string buffer;
    if (sized) {
        buffer.reserve(lastSize);
    }
    char* line = nullptr;
    int size;
    while ((size = PQgetCopyData(conn, &line, 0)) > 0) {
        buffer.append(line, size_t(size));
        PQfreemem(line);
    }
    PQclear(PQgetResult(conn));
    lastSize = buffer.size();
}

Timing fromTimes(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2]};
}

void listAgainstLibpq(const QString& server, const char* name, int runs) {
    PgConnection program(server);
    PgConnection baseline(server);
    const QString statement = listStatement(program);
    std::vector<double> programMs;
    std::vector<double> libpqMs;
    std::vector<double> sizedMs;
    int rows = 0;
    auto readByProgram = [&] {
        QElapsedTimer timer;
        timer.start();
        rows = program.select(statement)->rowCount();
        programMs.push_back(timer.nsecsElapsed() / 1e6);
    };
    auto readByLibpq = [&](bool sized) {
        QElapsedTimer timer;
        timer.start();
        copyIntoOneBuffer(baseline.handle(), statement.toUtf8(), sized);
        (sized ? sizedMs : libpqMs).push_back(timer.nsecsElapsed() / 1e6);
    };
    copyIntoOneBuffer(baseline.handle(), statement.toUtf8(), false); // warm, and its size
    for (int i = 0; i < runs; ++i) { // interleaved, in turn first, second and last
        const int first = i % 3;
        for (int k = 0; k < 3; ++k) {
            switch ((first + k) % 3) {
            case 0:
                readByProgram();
                break;
            case 1:
                readByLibpq(false);
                break;
            default:
                readByLibpq(true);
            }
        }
    }
    const Timing p = fromTimes(programMs);
    const Timing l = fromTimes(libpqMs);
    const Timing z = fromTimes(sizedMs);
    const std::string prefix(name);
    print((prefix + "_rows").c_str(), rows);
    print(prefix + "_program", p);
    print(prefix + "_libpq_copy", l);
    print((prefix + "_ratio_min").c_str(), p.minMs / l.minMs);
    print((prefix + "_ratio_median").c_str(), p.medianMs / l.medianMs);
    print(prefix + "_libpq_copy_sized", z);
    print((prefix + "_ratio_sized_min").c_str(), p.minMs / z.minMs);
    print((prefix + "_ratio_sized_median").c_str(), p.medianMs / z.medianMs);
}

long peakMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').first().toLong() / 1024;
        }
    }
    return -1;
}

// A child process that reads the list once from one engine and reports its peak memory.
int peakChild(const QString& engine, const QString& where) {
    std::unique_ptr<Connection> connection;
    if (engine == u"server") {
        connection = std::make_unique<PgConnection>(where);
    } else {
        connection = std::make_unique<SqlCipherConnection>();
        connection->setConnectionString(cardFileConnectionString(where));
    }
    connection->select(QStringLiteral("select count(*) from D_Sex")); // opened
    const long before = residentMb();
    const auto rows = connection->select(listStatement(*connection));
    std::printf("%ld %ld %d\n", before, peakMb(), rows->rowCount());
    return 0;
}

void peakMemory(const QString& server, const char* name) {
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("cards.edb"));
    {
        PgConnection source(server);
        copyServerToFile(source, file);
    }
    auto measure = [](const QString& engine, const QString& where) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--peak"), engine, where});
        child.waitForFinished(-1);
        const QList<QByteArray> values = child.readAllStandardOutput().trimmed().split(' ');
        return std::pair<long, long>(values.value(0).toLong(), values.value(1).toLong());
    };
    const auto onServer = measure(QStringLiteral("server"), server);
    const auto onFile = measure(QStringLiteral("file"), file);
    const std::string prefix(name);
    print((prefix + "_peak_server_mb").c_str(), double(onServer.second));
    print((prefix + "_peak_file_mb").c_str(), double(onFile.second));
    print((prefix + "_peak_ratio").c_str(), double(onServer.second) / double(onFile.second));
    print((prefix + "_list_server_mb").c_str(), double(onServer.second - onServer.first));
    print((prefix + "_list_file_mb").c_str(), double(onFile.second - onFile.first));
}

CardValues newCard(const QString& name) {
    CardValues card;
    card.insert(QStringLiteral("theType"), QStringLiteral("客户"));
    card.insert(QStringLiteral("BName"), name);
    card.insert(QStringLiteral("BSex"), QStringLiteral("男"));
    card.insert(QStringLiteral("BMob"), QStringLiteral("13800000000"));
    card.insert(QStringLiteral("DName"), QStringLiteral("某某科技有限公司"));
    return card;
}

// One card added as the editor's 保存 adds it: the duplicate check and the insert, one commit.
void addCard(PgConnection& server, const CardValues& card) {
    server.insert(cardInsertStatement(server.dialect(), QStringLiteral("2024-06-01"), card));
}

void addOneByOne(const QString& server) {
    PgConnection connection(server);
    std::vector<double> times;
    for (int i = 0; i < 1000; ++i) {
        QElapsedTimer timer;
        timer.start();
        addCard(connection, newCard(QStringLiteral("单张%1").arg(i)));
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    const double mean = std::accumulate(times.begin(), times.end(), 0.0) / double(times.size());
    std::sort(times.begin(), times.end());
    print("add_card_mean_ms", mean);
    print("add_card_p95_ms", times[times.size() * 95 / 100]);
}

void importTenThousand(const QString& server, ScratchServerDatabase& db) {
    constexpr int Rows = 10000;
    PgConnection connection(server);
    std::vector<double> eachMs;
    std::vector<double> oneMs;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < Rows; ++i) {
            addCard(connection, newCard(QStringLiteral("导入%1").arg(i)));
        }
        eachMs.push_back(timer.nsecsElapsed() / 1e6);
        db.run(QStringLiteral("DELETE FROM D_B WHERE BName LIKE '导入%'"));

        timer.restart();
        connection.execute(QStringLiteral("BEGIN"));
        for (int i = 0; i < Rows; ++i) {
            addCard(connection, newCard(QStringLiteral("导入%1").arg(i)));
        }
        connection.execute(QStringLiteral("COMMIT"));
        oneMs.push_back(timer.nsecsElapsed() / 1e6);
        db.run(QStringLiteral("DELETE FROM D_B WHERE BName LIKE '导入%'"));
    }
    const Timing each = fromTimes(eachMs);
    const Timing one = fromTimes(oneMs);
    print("import_10k_commit_each", each);
    print("import_10k_one_transaction", one);
    print("import_10k_ratio_median", each.medianMs / one.medianMs);
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--peak") {
        return peakChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    PrivateServer own{QStringList()}; // the server's usual settings: commits reach the disk
    {
        ScratchServerDatabase db(own.connectionString());
        const QString server = db.connectionString();
        PgConnection(server).select(QStringLiteral("select 1")); // the register
        generateServerCards(db, 100000, 300000);
        listAgainstLibpq(server, "list_100k", Runs);
        peakMemory(server, "list_100k");
        addOneByOne(server);
        importTenThousand(server, db);
    }
    if (qEnvironmentVariableIsSet("ORVANE_BENCH_MILLION")) {
        ScratchServerDatabase db(own.connectionString());
        const QString server = db.connectionString();
        PgConnection(server).select(QStringLiteral("select 1"));
        generateServerCards(db, 1000000, 3000000);
        listAgainstLibpq(server, "list_1m", 3);
        peakMemory(server, "list_1m");
    }
    return 0;
}
