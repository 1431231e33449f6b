#include "EventYield.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace rq::platform {

namespace {
struct YieldState {
    int budgetMs = 16;
    int checkEvery = 1024;
    int calls = 0;
    QElapsedTimer sinceEvents;
};
YieldState& state()
{
    static YieldState s;
    return s;
}
} // namespace

bool yieldToEvents()
{
    YieldState& s = state();
    if (++s.calls < s.checkEvery)
        return false;
    s.calls = 0;
    if (!s.sinceEvents.isValid()) {
        s.sinceEvents.start();
        if (s.budgetMs > 0)
            return false;
    }
    if (s.sinceEvents.elapsed() < s.budgetMs)
        return false;
    QCoreApplication::processEvents();
    s.sinceEvents.restart();
    return true;
}

void setYieldPolicy(int budgetMilliseconds, int checkEvery)
{
    YieldState& s = state();
    s.budgetMs = budgetMilliseconds;
    s.checkEvery = checkEvery < 1 ? 1 : checkEvery;
    s.calls = 0;
}

} // namespace rq::platform
