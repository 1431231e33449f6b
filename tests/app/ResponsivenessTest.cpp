// The window keeps running events while the driver waits: a database locked by another program.
#include "support/EventGaps.h"
#include "support/ExtractionWindow.h"

#include <QLineEdit>
#include <QTimer>

using namespace rq;

TEST(Responsiveness, ALockedDatabaseLeavesTheWindowRunningAndClosable)
{
    test::ExtractionWindow w;
    w.db.exec("CREATE TABLE T(a TEXT); INSERT INTO T VALUES ('alpha'), ('beta')");
    w.db.exec("BEGIN EXCLUSIVE"); // another program holds the database: the driver waits for it
    bool released = false;
    int endCallsRightAfterClose = -1;
    QTimer::singleShot(300, [&] { // the user closes the window meanwhile
        w.form.close();
        endCallsRightAfterClose = w.env.endProgramCalls;
    });
    QTimer::singleShot(1500, [&] {
        released = true;
        w.db.exec("COMMIT");
    });

    test::EventGaps gaps;
    w.form.Text1->setText("alpha");
    w.form.PushButton5_Click();
    EXPECT_TRUE(released); // the scan really waited for the lock
    EXPECT_EQ(w.items(), QStringList{"alpha"});
    EXPECT_EQ(endCallsRightAfterClose, 1); // closing was answered at once, not after the lock
    EXPECT_EQ(w.env.endProgramCalls, 1);
    // Events kept running while the driver waited (a thread stuck in the driver would tick once or twice).
    EXPECT_GT(gaps.ticks, 20);
    gaps.log("locked database");
}
