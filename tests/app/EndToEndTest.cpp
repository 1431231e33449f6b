// The whole program, driven as a user would: connection fields typed, "Next >", both extractions,
// "Save Results", and the saved file compared byte for byte.
#include "app/WindowFlow.h"
#include "support/SqliteDatabase.h"
#include "support/TestEnvironment.h"
#include "ui/Form1.h"
#include "ui/Form2.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace rq;

TEST(EndToEnd, ConnectExtractAndSave)
{
    test::TestEnvironment env;
    test::SqliteDatabase db(env.path("shop.db"));
    db.exec("CREATE TABLE Customers(id INTEGER, name TEXT, email TEXT)");
    db.exec("INSERT INTO Customers VALUES (1, 'Ann Lee', 'ann@example.com'), (2, 'Bo Chan', NULL)");
    db.exec("CREATE TABLE Orders(id INTEGER, note TEXT)");
    db.exec("INSERT INTO Orders VALUES (10, 'Call Ann <b>before</b> noon'), (11, '<b>Fragile</b>; <b>before</b> 5')");

    WindowFlow flow(env.context);
    flow.start();
    Form1& form1 = flow.connectionWindow();
    QTest::keyClicks(form1.Text1, "localhost");
    QTest::keyClicks(form1.Text2, "sa");
    QTest::keyClicks(form1.Text3, "pw");
    QTest::keyClicks(form1.Text4, db.path());
    QTest::mouseClick(form1.PushButton2, Qt::LeftButton);
    Form2* form2 = flow.extractionWindowIfLoaded();
    ASSERT_NE(form2, nullptr);
    ASSERT_TRUE(form2->isVisible());

    QTest::keyClicks(form2->Text1, "ANN");
    QTest::mouseClick(form2->PushButton5, Qt::LeftButton);
    QTest::keyClicks(form2->Text3, "<B>");
    QTest::keyClicks(form2->Text4, "</b>");
    QTest::mouseClick(form2->PushButton1, Qt::LeftButton);

    const QString path = env.path("results.txt");
    env.fileDialog.answerNext(path);
    QTest::mouseClick(form2->PushButton6, Qt::LeftButton);
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), "Ann Lee\r\nann@example.com\r\nCall Ann <b>before</b> noon\r\n"
                               "before\r\nFragile\r\n");
    EXPECT_TRUE(env.messages.shown().isEmpty());
}
