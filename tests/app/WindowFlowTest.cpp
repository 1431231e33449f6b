#include "app/WindowFlow.h"
#include "logic/results/ResultsList.h"
#include "support/Settings.h"
#include "support/SqliteDatabase.h"
#include "support/TestEnvironment.h"
#include "ui/Form1.h"
#include "ui/Form2.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace rq;

namespace {

struct Program {
    test::TestEnvironment env;
    test::SqliteDatabase db{env.path("data.db")};
    WindowFlow flow{env.context};
    void saveLogin(const QString& password)
    {
        test::storeSetting("MSServer", "testserver");
        test::storeSetting("MSUser", "tester");
        test::storeSetting("MSPassword", password);
        test::storeSetting("MSDatabase", db.path());
    }
};

} // namespace

TEST(WindowFlow, ASavedLoginThatOpensGoesStraightToTheExtractionWindow)
{
    Program p;
    p.saveLogin("secret");
    p.flow.start();
    ASSERT_NE(p.flow.extractionWindowIfLoaded(), nullptr);
    EXPECT_TRUE(p.flow.extractionWindowIfLoaded()->isVisible());
    EXPECT_FALSE(p.flow.connectionWindow().isVisible());
    EXPECT_EQ(p.env.connectionsCreated, 2); // the check at start-up, then "Next >" itself
    EXPECT_TRUE(p.env.messages.shown().isEmpty());
}

TEST(WindowFlow, NoAutomaticAttemptWithoutAPasswordOrWhenTheLoginFails)
{
    Program p;
    p.saveLogin("");
    p.flow.start();
    EXPECT_EQ(p.env.connectionsCreated, 0);
    EXPECT_TRUE(p.flow.connectionWindow().isVisible());

    Program failing;
    failing.saveLogin("secret");
    test::storeSetting("MSDatabase", failing.env.path("no-folder/x.db"));
    failing.flow.start();
    EXPECT_EQ(failing.env.connectionsCreated, 1);
    EXPECT_TRUE(failing.flow.connectionWindow().isVisible());
    EXPECT_EQ(failing.flow.extractionWindowIfLoaded(), nullptr);
    EXPECT_TRUE(failing.env.messages.shown().isEmpty()); // silent
}

TEST(WindowFlow, SwitchingBackAndForthKeepsOneExtractionWindowAndItsContents)
{
    Program p;
    p.db.exec("CREATE TABLE T(a); INSERT INTO T VALUES ('found it')");
    p.flow.start();
    Form1& form1 = p.flow.connectionWindow();
    form1.Text4->setText(p.db.path());
    form1.PushButton2->click();
    Form2* form2 = p.flow.extractionWindowIfLoaded();
    ASSERT_NE(form2, nullptr);
    form2->Text1->setText("found");
    form2->PushButton5->click();
    ASSERT_EQ(form2->results().count(), 1);
    const QString status = form2->Label1->text();

    form2->PushButton2->click();
    EXPECT_TRUE(form1.isVisible());
    EXPECT_FALSE(form2->isVisible());
    EXPECT_EQ(form1.Text4->text(), p.db.path());
    const int opened = p.env.connectionsCreated;
    form1.PushButton2->click();
    EXPECT_EQ(p.flow.extractionWindowIfLoaded(), form2);
    EXPECT_TRUE(form2->isVisible());
    EXPECT_EQ(p.env.connectionsCreated, opened + 1); // no automatic connection on the way back
    EXPECT_EQ(form2->results().count(), 1);
    EXPECT_EQ(form2->results().columnCount(), 2); // its load did not run again
    EXPECT_EQ(form2->Text1->text(), "found");
    EXPECT_EQ(form2->Label1->text(), status);
}
