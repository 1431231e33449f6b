#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <iostream>

namespace rq::test {

// Ticks on the window thread every 5 ms and keeps the longest gap between two ticks: how long the window
// went without running events. The gap is logged for whoever reads the test output, never asserted: the
// tests prove responsiveness by what the window did meanwhile, not by the clock.
struct EventGaps {
    QTimer timer;
    QElapsedTimer sinceTick;
    QElapsedTimer sinceStart;
    qint64 longest = 0;
    int ticks = 0;
    EventGaps()
    {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            longest = std::max(longest, sinceTick.restart());
            ++ticks;
        });
        sinceTick.start();
        sinceStart.start();
        timer.start();
    }
    void log(const char* what) const
    {
        std::cout << "[ measured ] " << what << ": " << sinceStart.elapsed() / 1000.0 << " s, " << ticks
                  << " ticks, longest gap " << longest << " ms\n";
    }
};

} // namespace rq::test
