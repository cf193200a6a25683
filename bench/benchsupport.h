#pragma once

// Shared by the benchmarks: timing by the minimum and the median of a few runs, the
// "name: value" lines, and the resident memory of the process.

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

struct Timing {
    double minMs = 0;
    double medianMs = 0;
};

inline Timing timeRuns(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2]};
}

inline void print(const char* name, double value) {
    std::printf("%s: %.2f\n", name, value);
    std::fflush(stdout);
}

// name_min_ms and name_ms (the median).
inline void print(const std::string& name, const Timing& timing) {
    print((name + "_min_ms").c_str(), timing.minMs);
    print((name + "_ms").c_str(), timing.medianMs);
}

inline long residentMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toLong() / 1024;
        }
    }
    return -1;
}
