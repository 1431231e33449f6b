// With FreeTDS registered as "SQL Server": the connection window and start-up never wait on the driver on
// the window thread, and a value FreeTDS cannot be given is named rather than sent.
#include "app/WindowFlow.h"
#include "logic/connection/ConnectionTest.h"
#include "support/EventGaps.h"
#include "support/Settings.h"
#include "support/TdsServing.h"
#include "support/TestEnvironment.h"
#include "ui/Form1.h"
#include "ui/WindowPointer.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace rq;
using test::fieldsFor;
using test::serverOptions;

namespace {

// Types the fields into the connection window's boxes, as a user would.
void typeInto(Form1& form, const ConnectionFields& fields)
{
    form.Text1->setText(fields.server);
    form.Text9->setText(fields.port);
    form.Text2->setText(fields.user);
    form.Text3->setText(fields.password);
    form.Text4->setText(fields.database);
}

} // namespace

// The driver's login time-out counts each wait for a byte: a server that trickles its answer is given up on
// by the program's own deadline. Meanwhile a click is dropped and closing the window is not.
TEST(FreeTds, AnOpenGivesUpAtItsDeadlineHoweverTheServerTricklesItsAnswer)
{
    test::TestEnvironment env;
    test::TdsServer trickling(serverOptions("pw", test::TdsServer::Fault::TrickleLoginAnswer));
    WindowFlow flow(env.context);
    flow.start();
    Form1& form = flow.connectionWindow();
    typeInto(form, fieldsFor(trickling.port(), "pw"));
    int endCallsAfterClose = -1;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (trickling.logins().isEmpty() || endCallsAfterClose >= 0)
            return;
        QTest::mouseClick(form.PushButton5, Qt::LeftButton); // "Help" would ask a question
        form.close();
        endCallsAfterClose = env.endProgramCalls;
    });
    user.start(5);
    form.PushButton3->click();
    EXPECT_EQ(endCallsAfterClose, 1);
    EXPECT_EQ(env.messages.texts(), QStringList{kCouldNotConnect});
    EXPECT_EQ(trickling.logins().size(), 1);
}

TEST(FreeTds, NextGivesUpOnASilentServerAndStaysOnTheConnectionWindow)
{
    test::TestEnvironment env;
    test::TdsServer silent(serverOptions("pw", test::TdsServer::Fault::NeverAnswer));
    WindowFlow flow(env.context);
    flow.start(); // nothing stored: no attempt at start-up
    Form1& form = flow.connectionWindow();
    typeInto(form, fieldsFor(silent.port(), "pw"));
    {
        test::EventGaps gaps;
        form.PushButton2->click();
        gaps.log("Next >, silent server");
        EXPECT_GT(gaps.ticks, 0); // events ran while the driver waited
    }
    EXPECT_GE(silent.accepted(), 1);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(flow.extractionWindowIfLoaded(), nullptr);
    EXPECT_TRUE(env.messages.shown().isEmpty());
}

// Start-up with a saved login to a server that never answers: the connection window comes up while the open
// waits, says where it connects, and Esc gives up at once: the driver, which gives up after its own login
// time-out, still holds the connection when start-up has ended.
TEST(FreeTds, StartUpShowsTheConnectionWindowWhileItWaitsAndEscGivesUp)
{
    test::TestEnvironment env;
    test::TdsServer silent(serverOptions("pw", test::TdsServer::Fault::NeverAnswer));
    test::saveConnection(env, fieldsFor(silent.port(), "pw"));
    WindowFlow flow(env.context);
    Form1& form = flow.connectionWindow();
    QString said;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (!form.isVisible() || !form.connectingLabel->isVisible() || !said.isEmpty())
            return;
        said = form.connectingLabel->text();
        QTest::keyClick(&form, Qt::Key_Escape);
    });
    user.start(5);
    flow.start();
    user.stop();
    EXPECT_EQ(said, QStringLiteral("Connecting to 127.0.0.1,%1...").arg(silent.port()));
    EXPECT_EQ(silent.closed(), 0);
    EXPECT_GE(silent.accepted(), 1);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.connectingLabel->isVisible());
    EXPECT_TRUE(form.PushButton2->isVisible());
    EXPECT_EQ(flow.extractionWindowIfLoaded(), nullptr);
    EXPECT_TRUE(env.messages.shown().isEmpty());
}

// Enter in a box runs "Next >"; Cancel gives up "Next >" and "Test Connection" at once, and nothing is said.
TEST(FreeTds, EnterRunsNextAndCancelGivesUpAtOnce)
{
    test::TestEnvironment env;
    test::TdsServer silent(serverOptions("pw", test::TdsServer::Fault::NeverAnswer));
    WindowFlow flow(env.context);
    flow.start();
    Form1& form = flow.connectionWindow();
    typeInto(form, fieldsFor(silent.port(), "pw"));
    int cancelled = 0;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (form.cancelButton->isVisible()) {
            ++cancelled;
            QTest::mouseClick(form.cancelButton, Qt::LeftButton);
        }
    });
    user.start(5);
    QTest::keyClick(form.Text4, Qt::Key_Return);
    form.PushButton3->click();
    user.stop();
    EXPECT_EQ(cancelled, 2);
    EXPECT_EQ(silent.accepted(), 2);
    EXPECT_EQ(silent.closed(), 0);
    EXPECT_EQ(flow.extractionWindowIfLoaded(), nullptr);
    EXPECT_TRUE(env.messages.shown().isEmpty());
    EXPECT_EQ(form.pointer().value(), Pointer::Default);
}

TEST(FreeTds, NextNamesAPasswordFreeTdsCannotBeGivenAndSendsNothing)
{
    test::TestEnvironment env;
    test::TdsServer server(serverOptions("a};b"));
    WindowFlow flow(env.context);
    flow.start();
    Form1& form = flow.connectionWindow();
    typeInto(form, fieldsFor(server.port(), "a};b"));
    form.PushButton2->click();
    EXPECT_EQ(env.messages.texts(), QStringList{connectionProblem(fieldsFor(server.port(), "a};b"))});
    EXPECT_TRUE(env.messages.texts()[0].startsWith("The password contains \"};\""));
    EXPECT_EQ(server.accepted(), 0);
    EXPECT_EQ(flow.extractionWindowIfLoaded(), nullptr);
}
