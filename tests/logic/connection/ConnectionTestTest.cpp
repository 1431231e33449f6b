#include "logic/connection/ConnectionTest.h"
#include "logic/connection/ConnectionHelp.h"
#include "logic/connection/OpenConnection.h"
#include "logic/frame/ReportingProcedure.h"
#include "platform/FileSystem.h"
#include "support/CoreEnvironment.h"
#include "support/RecordingPointer.h"
#include "support/SqliteDatabase.h"

using namespace rq;

TEST(OpenConnection, TrueForAnExistingDatabaseFalseForAMissingFolder)
{
    test::CoreEnvironment env;
    test::SqliteDatabase db(env.path("t.db"));
    db.exec("CREATE TABLE t(a)");
    EXPECT_TRUE(OpenConnection(db.fields()));
    EXPECT_TRUE(OpenConnection(db.fields())); // a second, separate connection
    ConnectionFields missing = db.fields();
    missing.database = env.path("no-folder/t.db");
    EXPECT_FALSE(OpenConnection(missing));
    int created = 0;
    EXPECT_FALSE(OpenConnection(db.fields(), [&]() -> std::unique_ptr<platform::odbc::Connection> {
        ++created;
        throw Failure("cannot create");
    }));
    EXPECT_EQ(created, 1);
}

TEST(TestConnection, SaysOnlyWhetherItConnectedAndShowsTheHourglassMeanwhile)
{
    test::CoreEnvironment env;
    test::SqliteDatabase db(env.path("t.db"));
    test::RecordingPointer pointer;
    QList<Pointer> pointerWhileOpen;
    env.messages.whileOpen = [&](const platform::MessageBox&) { pointerWhileOpen << pointer.value(); };

    TestConnection({env.messages, "Form1", "PushButton3_Click"}, pointer, makeOdbcConnection,
                   [&] { return db.fields(); });
    ConnectionFields missing = db.fields();
    missing.database = env.path("no-folder/t.db");
    TestConnection({env.messages, "Form1", "PushButton3_Click"}, pointer, makeOdbcConnection, [&] { return missing; });

    EXPECT_EQ(env.messages.texts(), (QStringList{kConnectionSuccessful, kCouldNotConnect}));
    for (const platform::MessageBox& box : env.messages.shown()) {
        EXPECT_EQ(box.icon, platform::Icon::None);
        EXPECT_EQ(box.buttons, platform::Buttons::Ok);
    }
    EXPECT_EQ(pointerWhileOpen, (QList<Pointer>{Pointer::Hourglass, Pointer::Hourglass}));
    EXPECT_EQ(pointer.value(), Pointer::Default);
}

TEST(TestConnection, AConnectionObjectThatCannotBeCreatedGivesAReportThenTheAnswer)
{
    test::CoreEnvironment env;
    test::RecordingPointer pointer;
    TestConnection(
        {env.messages, "Form1", "PushButton3_Click"}, pointer,
        []() -> std::unique_ptr<platform::odbc::Connection> { throw Failure("ActiveX component can't create object"); },
        [] { return ConnectionFields{}; });
    ASSERT_EQ(env.messages.shown().size(), 2);
    EXPECT_EQ(env.messages.shown()[0].text,
              failureReportText("ActiveX component can't create object", "Form1", "PushButton3_Click", 100));
    EXPECT_EQ(env.messages.shown()[1].text, kCouldNotConnect);
    EXPECT_EQ(pointer.value(), Pointer::Default);
}

TEST(TestConnection, AValueFreeTdsCannotBeGivenIsNamedInsteadOfSent)
{
    test::CoreEnvironment env;
    test::RecordingPointer pointer;
    QList<Pointer> pointerWhileOpen;
    env.messages.whileOpen = [&](const platform::MessageBox&) { pointerWhileOpen << pointer.value(); };
    test::SqliteDatabase db(env.path("t.db"));
    ConnectionFields fields = db.fields(); // opens: only the password keeps it from the driver
    fields.password = "x};y";
    const platform::SqlServerDriver freeTds{platform::SqlServerDriver::FreeTds, "7.4"};
    int made = 0;
    const auto factory = [&] {
        ++made;
        return makeOdbcConnection();
    };

    TestConnection(
        {env.messages, "Form1", "PushButton3_Click"}, pointer, factory, [&] { return fields; }, freeTds);
    EXPECT_TRUE(ShowConnectionProblem(env.messages, fields, freeTds));
    const QString problem = "The password contains \"};\", which the SQL Server driver (FreeTDS) cannot accept. "
                            "Please change the password.";
    EXPECT_EQ(env.messages.texts(), (QStringList{problem, problem}));
    EXPECT_EQ(env.messages.shown()[0].icon, platform::Icon::None);
    EXPECT_EQ(env.messages.shown()[0].buttons, platform::Buttons::Ok);
    EXPECT_EQ(pointerWhileOpen.first(), Pointer::Hourglass);
    EXPECT_EQ(pointer.value(), Pointer::Default);
    EXPECT_EQ(made, 1); // at its step, as always

    // The registered driver here (SQLite, standing in for Microsoft's) is given every value.
    env.messages.clear();
    EXPECT_FALSE(ShowConnectionProblem(env.messages, fields));
    fields.password = "x}y"; // FreeTDS too: unbraced
    EXPECT_FALSE(ShowConnectionProblem(env.messages, fields, freeTds));
    TestConnection({env.messages, "Form1", "PushButton3_Click"}, pointer, factory, [&] { return fields; });
    EXPECT_EQ(env.messages.texts(), QStringList{kConnectionSuccessful});
}

TEST(ConnectionHelp, ExplainsThenOpensThePictureOnlyOnYes)
{
    test::CoreEnvironment env;
    ShowConnectionHelp({env.messages, "Form1", "PushButton5_Click"}, env.processes);
    ASSERT_EQ(env.messages.shown().size(), 2);
    const QString help = env.messages.shown()[0].text;
    EXPECT_TRUE(help.startsWith("If you cannot establish connection to your MS SQL Server database with this "
                                "program, please go to: \r\rhttps://"));
    EXPECT_TRUE(help.contains("\r\rlocalhost\\SQLEXPRESS\r\rfor example, for Server."));
    EXPECT_TRUE(help.contains("here). This will determine if the login you are using is correct.\r\r"));
    EXPECT_EQ(help.count("\r\r"), 5);
    EXPECT_FALSE(help.contains('\n'));
    EXPECT_EQ(env.messages.shown()[1].buttons, platform::Buttons::YesNo);
    EXPECT_EQ(env.messages.shown()[1].text, kLocalExampleQuestion);
    EXPECT_TRUE(env.processes.started.isEmpty()); // answered No

    const QString folderWithBlanks = env.path("Program Files/Rowquarry");
    platform::setProgramFolder(folderWithBlanks);
    env.messages.answerNext(platform::Answer::Yes);
    ShowConnectionHelp({env.messages, "Form1", "PushButton5_Click"}, env.processes);
    ASSERT_EQ(env.processes.started.size(), 1);
    const platform::StartRequest& started = env.processes.started.first();
    ASSERT_EQ(started.arguments.size(), 1); // the whole path as one argument, blanks and all
    EXPECT_EQ(QString(started.arguments[0]).remove('"'), folderWithBlanks + "/local-connection-example.jpg");

    env.messages.clear();
    env.messages.answerNext(platform::Answer::Yes);
    env.processes.succeed = false;
    ShowConnectionHelp({env.messages, "Form1", "PushButton5_Click"}, env.processes);
    ASSERT_EQ(test::failureReports(env.messages).size(), 1);
    EXPECT_TRUE(test::failureReports(env.messages)[0].contains("PushButton5_Click at line 104"));
}
