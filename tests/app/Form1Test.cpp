#include "ui/Form1.h"
#include "app/WindowFlow.h"
#include "support/Files.h"
#include "support/Settings.h"
#include "support/SqliteDatabase.h"
#include "support/TestEnvironment.h"
#include "ui/Form2.h"
#include "ui/SecurityDialog.h"
#include "ui/WindowPointer.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace rq;
using test::storedSetting;

namespace {

struct Started {
    test::TestEnvironment env;
    std::unique_ptr<WindowFlow> flow;
    // Also a later start of the program with the same settings.
    Form1& start()
    {
        flow.reset();
        flow = std::make_unique<WindowFlow>(env.context);
        flow->start();
        return flow->connectionWindow();
    }
};

// Runs `answer` on the Security dialog once it is open, then closes it.
void whenSecurityOpens(const std::function<void(SecurityDialog&)>& answer)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        auto* dialog = qobject_cast<SecurityDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        answer(*dialog);
        dialog->closeButton->click();
    });
    timer->start(5);
}

} // namespace

TEST(Form1, FirstStartShowsEmptyBoxesAndTheDefaultPort)
{
    Started s;
    Form1& form = s.start();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.windowTitle(), "Rowquarry");
    EXPECT_EQ(form.minimumSize(), form.maximumSize()); // fixed size, no maximise button
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_LE((form.frameGeometry().center() - form.screen()->availableGeometry().center()).manhattanLength(), 8);
    for (QLineEdit* box : {form.Text1, form.Text2, form.Text3, form.Text4})
        EXPECT_TRUE(box->text().isEmpty());
    EXPECT_EQ(form.Text9->text(), "1433");
    EXPECT_FALSE(form.Check6->isChecked());
    EXPECT_EQ(s.env.connectionsCreated, 0);
    EXPECT_EQ(storedSetting("Port"), "1433"); // written back by the box's change handling
    EXPECT_EQ(storedSetting("MSServer"), "<absent>");
    EXPECT_TRUE(s.env.messages.shown().isEmpty());
    EXPECT_EQ(s.flow->extractionWindowIfLoaded(), nullptr);
}

TEST(Form1, EveryChangeIsStoredAtOnceAndComesBackAtTheNextStart)
{
    Started s;
    Form1& form = s.start();
    QStringList written;
    for (const char* key : {"a", "b", "c"}) {
        QTest::keyClick(form.Text1, key[0]);
        written << storedSetting("MSServer");
    }
    EXPECT_EQ(written, (QStringList{"a", "ab", "abc"}));
    form.Text3->setText("  pass word ");
    EXPECT_EQ(form.Text3->displayText(), QString(12, '*'));
    form.Text9->clear();
    form.Check6->click();
    EXPECT_EQ(storedSetting("Local Connection"), "1");
    EXPECT_TRUE(form.Text9->isEnabled());
    QTest::keyClicks(form.Text9, "77"); // still editable and stored while local
    EXPECT_EQ(storedSetting("Port"), "77");
    form.Text9->clear();

    const int connectionsBefore = s.env.connectionsCreated;
    Form1& again = s.start();
    EXPECT_EQ(again.Text1->text(), "abc");
    EXPECT_EQ(again.Text3->text(), "  pass word ");
    EXPECT_EQ(again.Text9->text(), ""); // cleared, not the default
    EXPECT_TRUE(again.Check6->isChecked());
    EXPECT_EQ(s.env.connectionsCreated, connectionsBefore); // user and database empty: no attempt
}

TEST(Form1, StartingLeavesTheSettingsFileAsItWasAndEditsStillSave)
{
    Started s;
    // A server name far longer than a box holds, beside another program's section.
    const QByteArray stored = "[Other Program]\nkept=yes\n[Rowquarry]\nMSServer=" + QByteArray(1 << 20, 's') +
                              "\nPort=1433\nLocal Connection=0\n";
    test::writeFile(s.env.settingsFile(), stored);

    Form1& form = s.start();
    EXPECT_FALSE(form.Text1->text().isEmpty());                   // read, and cut to what the box holds
    EXPECT_TRUE(test::fileBytes(s.env.settingsFile()) == stored); // not EXPECT_EQ: it would print a megabyte

    QTest::keyClick(form.Text2, 'u');
    EXPECT_EQ(storedSetting("MSUser"), "u");
}

TEST(Form1, ASettingsFileThatCannotBeReadIsNamedOnceAndKept)
{
    Started s;
    const QByteArray stored("[Rowquarry]\0MSServer=x\0", 22);
    test::writeFile(s.env.settingsFile(), stored);
    Form1& form = s.start();
    ASSERT_EQ(s.env.messages.texts().size(), 1);
    EXPECT_TRUE(s.env.messages.texts()[0].startsWith("The saved connection could not be read from " +
                                                     s.env.settingsFile() + ": it holds bytes that are not text."));
    EXPECT_TRUE(form.Text1->text().isEmpty());
    QTest::keyClick(form.Text2, 'u');
    EXPECT_TRUE(test::fileBytes(s.env.settingsFile()) == stored);
}

TEST(Form1, AnyStoredLocalConnectionTextButZeroTicksTheBox)
{
    for (const QString stored : {"", "yes", "1"}) {
        Started s;
        test::storeSetting("Local Connection", stored);
        Form1& form = s.start();
        EXPECT_TRUE(form.Check6->isChecked()) << qPrintable(stored);
        EXPECT_EQ(storedSetting("Local Connection"), "1");
    }
}

TEST(Form1, TabOrderAndSelectAllOnFocus)
{
    Started s;
    Form1& form = s.start();
    form.Text1->setText("server");
    form.Text9->setText("1433");
    form.Text2->setText("user");
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QApplication::processEvents();
    // The focus that comes with the window's appearing selects too.
    EXPECT_EQ(QApplication::focusWidget(), form.Text1);
    EXPECT_EQ(form.Text1->selectedText(), "server");
    QList<QWidget*> visited;
    for (int i = 0; i < 10; ++i) {
        visited << QApplication::focusWidget();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited, (QList<QWidget*>{form.Text1, form.Text9, form.Text2, form.Text3, form.Text4, form.Check6,
                                        form.SecurityButton, form.PushButton3, form.PushButton5, form.PushButton2}));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); // round to the server box
    QApplication::processEvents();
    EXPECT_EQ(form.Text1->selectedText(), "server");

    // By mouse too: the click does not undo the selection.
    QTest::mouseClick(form.Text2, Qt::LeftButton, {}, QPoint(5, 5));
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), form.Text2);
    EXPECT_EQ(form.Text2->selectedText(), "user");

    // Back from another program's window: the box keeps its cursor, nothing is selected.
    form.Text2->deselect();
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), form.Text2);
    EXPECT_EQ(form.Text2->selectedText(), "");
}

TEST(Form1, BoxesAreNamedByTheirLabels)
{
    Started s;
    Form1& form = s.start();
    const QList<QPair<QWidget*, QString>> expected = {{form.Text1, "Server"},
                                                      {form.Text9, "Port"},
                                                      {form.Text2, "Username"},
                                                      {form.Text3, "Password"},
                                                      {form.Text4, "Database"}};
    for (const auto& [box, name] : expected) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(box);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->text(QAccessible::Name), name);
    }
}

TEST(Form1, NextWithADatabaseThatDoesNotOpenChangesNothing)
{
    Started s;
    Form1& form = s.start();
    form.Text4->setText(s.env.path("no-folder/x.db"));
    QFile settingsFile(s.env.settingsFile());
    ASSERT_TRUE(settingsFile.open(QIODevice::ReadOnly));
    const QByteArray settingsBefore = settingsFile.readAll();
    settingsFile.close();
    form.PushButton2->click();
    ASSERT_TRUE(settingsFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(settingsFile.readAll(), settingsBefore);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(s.flow->extractionWindowIfLoaded(), nullptr);
    EXPECT_TRUE(s.env.messages.shown().isEmpty());
    EXPECT_EQ(form.pointer().value(), Pointer::Default);
}

TEST(Form1, ClosingEitherWindowEndsTheProgram)
{
    Started s;
    Form1& form = s.start();
    form.close();
    EXPECT_EQ(s.env.endProgramCalls, 1);

    test::SqliteDatabase db(s.env.path("t.db"));
    Started second;
    Form1& f = second.start();
    f.Text4->setText(db.path());
    f.PushButton2->click();
    ASSERT_NE(second.flow->extractionWindowIfLoaded(), nullptr);
    second.flow->extractionWindowIfLoaded()->close();
    EXPECT_EQ(second.env.endProgramCalls, 1);
}

TEST(Form1, SecurityChoicesAreStoredAtOnceAndTheNextConnectionUsesThem)
{
    Started s;
    Form1& form = s.start();
    EXPECT_TRUE(form.Frame1->rect().contains(form.SecurityButton->geometry())); // beside "Local Connection"
    EXPECT_FALSE(form.SecurityButton->geometry().intersects(form.Check6->geometry()));
    bool shown = false;
    whenSecurityOpens([&](SecurityDialog& dialog) {
        shown = true;
        EXPECT_FALSE(dialog.trustCertificate->isChecked()); // encrypted and checked unless chosen otherwise
        EXPECT_FALSE(dialog.allowUnencrypted->isChecked());
        dialog.trustCertificate->click();
        EXPECT_EQ(storedSetting("Trust Server Certificate"), "1"); // at once, as every field of the window
        EXPECT_EQ(storedSetting("Allow Unencrypted Connection"), "<absent>");
    });
    form.SecurityButton->click();
    ASSERT_TRUE(shown);

    Form1& later = s.start();
    whenSecurityOpens([&](SecurityDialog& dialog) {
        EXPECT_TRUE(dialog.trustCertificate->isChecked());
        dialog.trustCertificate->click();
        dialog.allowUnencrypted->click();
    });
    later.SecurityButton->click();
    EXPECT_EQ(storedSetting("Trust Server Certificate"), "0");
    EXPECT_EQ(storedSetting("Allow Unencrypted Connection"), "1");
    // These tests' "SQL Server" is the SQLite driver, written as Microsoft's.
    EXPECT_TRUE(connectionString(later.fields()).endsWith("Encrypt=no;"));
}

TEST(Form1, ThePortBoxTakesOnlyAPortAndABadSavedPortIsNamed)
{
    Started s;
    test::storeSetting("Port", "abc");
    Form1& form = s.start();
    EXPECT_EQ(s.env.messages.texts(), QStringList{"The saved port \"abc\" is not a number from 1 to 65535: type the "
                                                  "server's port in the Port box."});
    form.Text9->clear();
    QTest::keyClicks(form.Text9, "0a65536");
    EXPECT_EQ(form.Text9->text(), "6553");
    EXPECT_EQ(storedSetting("Port"), "6553");
}
