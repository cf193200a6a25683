#pragma once

// Shared by the benchmarks: the program and its baseline measured in turn, round after round
// (so that a burst of load on a shared machine falls on both alike), wall and CPU time by
// their minimum and median, the "name: value" lines, and the memory of the process.

#include <QFile>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <vector>

// Timings of one piece of work over the rounds: wall time and the CPU time of this process
// and of the children it waited for.
struct Timing {
    double minMs = 0;
    double medianMs = 0;
    double cpuMinMs = 0;
    double cpuMedianMs = 0;
};

inline double cpuNowMs() {
    timespec own{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &own);
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return own.tv_sec * 1e3 + own.tv_nsec / 1e6 + ms(children.ru_utime) + ms(children.ru_stime);
}

inline double wallNowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

inline void minAndMedian(std::vector<double> values, double& min, double& median) {
    std::sort(values.begin(), values.end());
    min = values.front();
    median = values.size() % 2 ? values[values.size() / 2]
                               : (values[values.size() / 2 - 1] + values[values.size() / 2]) / 2;
}

// Runs every piece of work once per round, in turn, for the given rounds (the order turning
// each round, so that no piece always runs first); each gets its timing.
inline std::vector<Timing> interleaved(int rounds,
                                       const std::vector<std::function<void()>>& works) {
    std::vector<std::vector<double>> wall(works.size()), cpu(works.size());
    for (int round = 0; round < rounds; ++round) {
        for (size_t k = 0; k < works.size(); ++k) {
            const size_t i = (k + size_t(round)) % works.size();
            const double wallStart = wallNowMs();
            const double cpuStart = cpuNowMs();
            works[i]();
            cpu[i].push_back(cpuNowMs() - cpuStart);
            wall[i].push_back(wallNowMs() - wallStart);
        }
    }
    std::vector<Timing> timings(works.size());
    for (size_t i = 0; i < works.size(); ++i) {
        minAndMedian(wall[i], timings[i].minMs, timings[i].medianMs);
        minAndMedian(cpu[i], timings[i].cpuMinMs, timings[i].cpuMedianMs);
    }
    return timings;
}

inline Timing timeRuns(int runs, const std::function<void()>& work) {
    return interleaved(runs, {work}).front();
}

inline void print(const char* name, double value) {
    std::printf("%s: %.2f\n", name, value);
    std::fflush(stdout);
}

// name_min_ms and name_ms (the median), then the same of the CPU time.
inline void print(const std::string& name, const Timing& timing) {
    print((name + "_min_ms").c_str(), timing.minMs);
    print((name + "_ms").c_str(), timing.medianMs);
    print((name + "_cpu_min_ms").c_str(), timing.cpuMinMs);
    print((name + "_cpu_ms").c_str(), timing.cpuMedianMs);
}

// A ratio of two timings under name (the medians of wall time), with the same of the CPU
// time and of the minima beside it.
inline void printRatio(const std::string& name, const Timing& program, const Timing& baseline) {
    print(name.c_str(), program.medianMs / baseline.medianMs);
    print((name + "_min").c_str(), program.minMs / baseline.minMs);
    print((name + "_cpu").c_str(), program.cpuMedianMs / baseline.cpuMedianMs);
}

inline long statusMb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(int(qstrlen(field))).trimmed().split(' ').first().toLong() / 1024;
        }
    }
    return -1;
}

inline long residentMb() {
    return statusMb("VmRSS:");
}

// The highest resident memory since the last reset, and the reset.
inline long peakResidentMb() {
    return statusMb("VmHWM:");
}

inline void resetPeakResident() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly)) {
        clear.write("5");
    }
}
