#include "platform/EventYield.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

using namespace rq;

TEST(EventYield, RunsEventsOnlyWhenTheBudgetIsSpent)
{
    // A wide budget, so that a busy machine pausing this thread cannot spend it during the burst below.
    platform::setYieldBudget(200);
    platform::yieldToEvents();
    QThread::msleep(210);
    platform::yieldToEvents(); // the budget has passed: events run, the clock starts again
    int ran = 0;
    QTimer::singleShot(0, [&] { ++ran; });
    // A burst of calls well inside the budget runs nothing.
    int yielded = 0;
    for (int i = 0; i < 2000; ++i)
        yielded += platform::yieldToEvents();
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(yielded, 0);
    // Once the budget has passed, the very next call runs the pending event: time counts, not calls.
    QThread::msleep(210);
    EXPECT_TRUE(platform::yieldToEvents());
    EXPECT_EQ(ran, 1);

    platform::setYieldBudget(0);
    QTimer::singleShot(0, [&] { ++ran; });
    EXPECT_TRUE(platform::yieldToEvents());
    EXPECT_EQ(ran, 2);
    platform::setYieldBudget(16);
}
