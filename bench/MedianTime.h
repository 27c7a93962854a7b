#pragma once

// The median wall time of a piece of work run several times, for the benchmark programs.

#include <QElapsedTimer>
#include <algorithm>
#include <functional>
#include <vector>

// Runs `work` `runs` times (at least once) and gives the median time in milliseconds.
inline double medianMs(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int run = 0; run < std::max(1, runs); ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
