#pragma once

// Shared by the benchmarks: timing by the median of a few runs, and the "name: value" lines.

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

inline double medianMs(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

inline void print(const char* name, double value) {
    std::printf("%s: %.2f\n", name, value);
    std::fflush(stdout);
}
