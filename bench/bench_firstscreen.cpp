// The first screen of the real program: from starting the executable to the first paint of
// the card list with rows in it, over 100,000 and a million generated cards (three visits
// each), in a card file and on a private PostgreSQL server (the server's usual settings),
// five starts each. The program reports the moment (and its own CPU time then) when
// ORVANE_REPORT_FIRST_ROWS is set. On the display at hand, or on a virtual one:
//
//   xvfb-run -a bench_firstscreen          QT_QPA_PLATFORM=xcb on a virtual display
//   bench_firstscreen                      offscreen when there is no display
//   ORVANE_BENCH_SIZES=100000 bench_firstscreen   the smaller register only
//   ORVANE_BENCH_DB_1000000=<file>        a register of a million cards made before

#include "benchcards.h"
#include "benchsupport.h"
#include "db/pgconnection.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <csignal>
#include <cstdio>
#include <vector>

namespace {

constexpr int Rounds = 5;

// A program folder holding the program, Qt's translation and the register; the program uses
// the register beside it.
QString placeProgram(ScratchDatabase& database) {
    const QString program = database.folder() + QStringLiteral("orvane");
    QFile::copy(QStringLiteral(ORVANE_PROGRAM), program);
    QFile::copy(QFileInfo(QStringLiteral(ORVANE_PROGRAM)).path() +
                    QStringLiteral("/qtbase_zh_CN.qm"),
                database.folder() + QStringLiteral("qtbase_zh_CN.qm"));
    return program;
}

struct Start {
    double wallMs = -1; // from starting the executable to the first rows painted
    double cpuMs = -1;  // the program's CPU time then
};

Start startOnce(const QString& program, const QStringList& arguments, const QString& platform) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ORVANE_REPORT_FIRST_ROWS"), QStringLiteral("1"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::SeparateChannels);
    Start start;
    QElapsedTimer timer;
    timer.start();
    child.start(program, arguments);
    static const QRegularExpression marker(QStringLiteral("first_rows_painted cpu_ms=([0-9.]+)"));
    QByteArray output;
    while (child.state() != QProcess::NotRunning && timer.elapsed() < 120000) {
        child.waitForReadyRead(5);
        output += child.readAllStandardOutput();
        const QRegularExpressionMatch match = marker.match(QString::fromUtf8(output));
        if (match.hasMatch()) {
            start.wallMs = timer.nsecsElapsed() / 1e6;
            start.cpuMs = match.captured(1).toDouble();
            break;
        }
    }
    ::kill(pid_t(child.processId()), SIGKILL);
    child.waitForFinished();
    if (start.wallMs < 0) {
        std::fprintf(stderr, "the program painted no rows: %s\n",
                     child.readAllStandardError().constData());
    }
    return start;
}

void printStarts(const std::string& figure, const std::vector<Start>& starts) {
    std::vector<double> wall;
    std::vector<double> cpu;
    for (const Start& start : starts) {
        wall.push_back(start.wallMs);
        cpu.push_back(start.cpuMs);
    }
    Timing timing;
    minAndMedian(wall, timing.minMs, timing.medianMs);
    minAndMedian(cpu, timing.cpuMinMs, timing.cpuMedianMs);
    print((figure + "_ms").c_str(), timing.medianMs);
    print((figure + "_min_ms").c_str(), timing.minMs);
    print((figure + "_cpu_ms").c_str(), timing.cpuMedianMs);
    print((figure + "_cpu_min_ms").c_str(), timing.cpuMinMs);
}

// The program on a card file, and on a register of the same cards on the server, started in
// turn.
void firstScreens(const QString& server, int cards, const std::string& name,
                  const QString& platform) {
    ScratchDatabase folder;
    placeCards(folder.folder(), cards);
    const QString program = placeProgram(folder);
    ScratchServerDatabase onServer(server);
    PgConnection(onServer.connectionString()).select(QStringLiteral("select 1")); // the register
    generateServerCards(onServer, cards, 3 * cards);
    const QStringList serverArguments = {QStringLiteral("--server"), onServer.connectionString()};
    std::vector<Start> fromFile;
    std::vector<Start> fromServer;
    for (int round = 0; round < Rounds; ++round) {
        fromFile.push_back(startOnce(program, {}, platform));
        fromServer.push_back(startOnce(program, serverArguments, platform));
    }
    printStarts(name, fromFile);
    printStarts(name + "_server", fromServer);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString platform =
        qEnvironmentVariableIsSet("DISPLAY") ? QStringLiteral("xcb") : QStringLiteral("offscreen");
    std::printf("platform: %s\nrounds: %d\n", qPrintable(platform), Rounds);
    const QString sizes =
        qEnvironmentVariable("ORVANE_BENCH_SIZES", QStringLiteral("100000,1000000"));
    PrivateServer server{QStringList()}; // the server's usual settings
    for (const QString& size : sizes.split(u',')) {
        const int cards = size.toInt();
        if (cards == 100000) {
            firstScreens(server.connectionString(), cards, "first_screen_100k", platform);
        } else if (cards == 1000000) {
            firstScreens(server.connectionString(), cards, "first_screen_1m", platform);
        }
    }
    return 0;
}
