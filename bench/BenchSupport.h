#pragma once

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace rq::bench {

// The median wall time of several runs, in seconds: this machine is noisy, so ratios of medians
// measured side by side in one run are what the benchmarks report.
template <class Work> double medianSeconds(int runs, Work&& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e9);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

inline void report(const char* what, double seconds, double anchorSeconds, const char* anchor, double target)
{
    const double ratio = seconds / anchorSeconds;
    std::printf("%-58s %8.3f s  %-28s %8.3f s  ratio %5.2f  (target <= %.1f) %s\n", what, seconds, anchor,
                anchorSeconds, ratio, target, ratio <= target ? "ok" : "MISSED");
}

} // namespace rq::bench
