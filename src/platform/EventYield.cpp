#include "EventYield.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace rq::platform {

namespace {
struct YieldState {
    int budgetMs = 16;
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

void letWindowRepaint() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

void setYieldBudget(int milliseconds) { state().budgetMs = milliseconds; }

} // namespace rq::platform
