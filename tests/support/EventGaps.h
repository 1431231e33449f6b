#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>

namespace rq::test {

// Ticks on the window thread every 5 ms and keeps the longest gap between two ticks: how long the window
// went without running events.
struct EventGaps {
    QTimer timer;
    QElapsedTimer sinceTick;
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
        timer.start();
    }
};

} // namespace rq::test
