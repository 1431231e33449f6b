#include "platform/EventYield.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

using namespace rq;

TEST(EventYield, RunsEventsOnlyWhenTheBudgetIsSpent)
{
    platform::setYieldPolicy(16, 1024);
    int ran = 0;
    QTimer::singleShot(0, [&] { ++ran; });
    // A burst of calls well inside the budget runs nothing.
    int yielded = 0;
    for (int i = 0; i < 2000; ++i)
        yielded += platform::yieldToEvents();
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(yielded, 0);
    // Once the budget has passed, the next clock check runs the pending event.
    QThread::msleep(20);
    for (int i = 0; i < 1024 && ran == 0; ++i)
        platform::yieldToEvents();
    EXPECT_EQ(ran, 1);

    platform::setYieldPolicy(0, 1);
    QTimer::singleShot(0, [&] { ++ran; });
    EXPECT_TRUE(platform::yieldToEvents());
    EXPECT_EQ(ran, 2);
    platform::setYieldPolicy(16, 1024);
}
