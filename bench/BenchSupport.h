#pragma once

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace rq::bench {

// This machine is noisy, so ratios of medians measured side by side in one run are what the benchmarks
// report.
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The wall time of one run, in seconds.
template <class Work> double seconds(Work&& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e9;
}

// The median wall time of several runs, in seconds.
template <class Work> double medianSeconds(int runs, Work&& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(seconds(work));
    return median(std::move(times));
}

inline void report(const char* what, double seconds, double anchorSeconds, const char* anchor, double target)
{
    const double ratio = seconds / anchorSeconds;
    std::printf("%-58s %8.3f s  %-28s %8.3f s  ratio %5.2f  (target <= %.2f) %s\n", what, seconds, anchor,
                anchorSeconds, ratio, target, ratio <= target ? "ok" : "MISSED");
}

} // namespace rq::bench
