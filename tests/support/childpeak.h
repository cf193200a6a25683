#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

// The peak of a helper program's resident memory, measured by the helper itself: the last line
// it prints is "peak <KB>", its VmHWM. That counts the helper's memory alone, from its exec
// on: a child's ru_maxrss (getrusage, wait4) also takes in the high-water mark of the parent
// that spawned it, which in a test that has just written a large file is far above the
// child's own.
inline void printPeakMemory() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:")) {
                std::printf("peak %lld\n", line.mid(6).trimmed().split(' ').first().toLongLong());
            }
        }
    }
}

// Under AddressSanitizer a peak counts the sanitizer's shadow memory and its quarantine of
// freed blocks: no measure of the program's own, so the tests check only the outcome there.
#ifdef __SANITIZE_ADDRESS__
constexpr bool PeakMeasuresTheProgram = false;
#else
constexpr bool PeakMeasuresTheProgram = true;
#endif

// What a helper program run as a child process printed (its peak apart), its peak and its
// time.
struct ChildRun {
    QString output;
    long peakKb = -1;
    qint64 milliseconds = 0;
    bool exitedNormally = false;
};

inline ChildRun runChild(const QString& program, const QStringList& arguments) {
    ChildRun run;
    QTemporaryFile output;
    if (!output.open()) {
        return run;
    }
    std::vector<QByteArray> strings{QFile::encodeName(program)};
    for (const QString& argument : arguments) {
        strings.push_back(argument.toUtf8());
    }
    std::vector<char*> argv;
    for (QByteArray& string : strings) {
        argv.push_back(string.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output.handle(), STDOUT_FILENO);
    QElapsedTimer clock;
    clock.start();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return run;
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) {
        return run;
    }
    run.milliseconds = clock.elapsed();
    run.exitedNormally = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    output.seek(0);
    QStringList lines = QString::fromUtf8(output.readAll()).trimmed().split(u'\n');
    if (lines.last().startsWith(QLatin1String("peak "))) {
        run.peakKb = lines.takeLast().mid(5).toLong();
    }
    run.output = lines.join(u'\n');
    return run;
}

// A limit case read by a helper in a child process: the run, and how far its peak rose above
// the baseline (a small file read the same way). The case goes to the test log with the file's
// size; the file is removed afterwards unless ORVANE_LIMIT_FILES asked to keep it.
struct LimitRun {
    ChildRun run;
    long grownKb = 0;
};

inline LimitRun readLimitCase(const QString& helper, const QString& path, long baselineKb,
                              const char* tag) {
    LimitRun limit{runChild(helper, {path})};
    limit.grownKb = limit.run.peakKb - baselineKb;
    qInfo("%s: %lld bytes, peak %ld MB above the small one, %lld ms: %s", tag,
          QFileInfo(path).size(), limit.grownKb / 1024, limit.run.milliseconds,
          qPrintable(limit.run.output));
    if (qEnvironmentVariableIsEmpty("ORVANE_LIMIT_FILES")) {
        QFile::remove(path);
    }
    return limit;
}
