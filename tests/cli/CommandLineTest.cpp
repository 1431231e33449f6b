#include "cli/CommandLineOptions.h"
#include "cli/ConnectionChoice.h"
#include "logic/connection/ConnectionString.h"
#include "logic/scan/DatabaseScan.h"
#include "logic/scan/TableChoiceStore.h"
#include "support/CommandLineChild.h"
#include "support/ExtractionWindow.h"
#include "support/Files.h"
#include "support/PseudoTerminal.h"
#include "support/SqliteDatabase.h"
#include "support/TestEnvironment.h"
#include "ui/Form2.h"

#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace rq;
using test::fileBytes;
using test::writeFile;

namespace {

using test::kCli;
using test::Outcome;
using test::run;
using test::saveConnection;
const QString kWindowed = QStringLiteral(ROWQUARRY_WINDOWED_EXECUTABLE);

// What the folder holds, by name: "a, b".
std::string entries(const QString& folder)
{
    return QDir(folder)
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
        .join(", ")
        .toStdString();
}

QByteArray joined(const QStringList& items, char end)
{
    QByteArray bytes;
    for (const QString& item : items)
        bytes += item.toUtf8() + end;
    return bytes;
}

// A test database made by `sql`, saved as the connection the windows would use.
struct SavedDatabase {
    test::TestEnvironment env;
    test::SqliteDatabase db{env.path("t.db")};

    explicit SavedDatabase(const char* sql)
    {
        db.exec(sql);
        saveConnection(env, db.fields());
    }
};

// Line breaks inside values (CR cuts lines, LF does not), letter cases outside ASCII, the Kelvin sign,
// surrogate pairs, repeated and nested stretches, Null, numbers, and a table the scan never reads.
void fillShop(test::SqliteDatabase& db)
{
    db.exec("CREATE TABLE Customers(name TEXT, email TEXT, note TEXT)");
    db.exec("INSERT INTO Customers VALUES "
            "('Ada', 'ada@EXAMPLE.com', 'first line' || char(13) || 'second Example line'), "
            "('Zoë', 'zoe@example.org', 'a line feed' || char(10) || 'inside, example'), "
            "('Kelvin', NULL, '273 \u212A cold'), "
            "('Émile', 'émile@example.com', '<b>été</b> <B>ÉTÉ</B> <b>été</b>'), "
            "('Smiley', '\U0001F600 example \U0001F600', '<b>\U0001F600</b><b></b><b>x<b>y</b>')");
    db.exec("CREATE TABLE Notes(body TEXT, n INTEGER)");
    db.exec("INSERT INTO Notes VALUES ('<b>bold</b> <b>bold</b>' || char(13) || '<b>split' || char(13) || "
            "'across</b>', 7), ('example', NULL)");
    db.exec("CREATE TABLE sysNotes(body TEXT); INSERT INTO sysNotes VALUES ('example never read')");
}

// What the extraction window's command lists for the same words.
QStringList windowItems(test::ExtractionWindow& w, const QStringList& command)
{
    w.form.results().clear();
    if (command.first() == QLatin1String("lines")) {
        w.form.Text1->setText(command.at(1));
        w.form.PushButton5_Click();
    } else {
        w.form.Text3->setText(command.at(1));
        w.form.Text4->setText(command.at(2));
        w.form.Check3->setChecked(command.contains(QLatin1String("--keep-duplicates")));
        w.form.PushButton1_Click();
    }
    return w.items();
}

} // namespace

TEST(CommandLine, GivesTheExtractionWindowsItemsByteForByte)
{
    struct Case {
        const char* name;
        QStringList command;
        bool found;
    };
    const Case cases[] = {
        {"lines, letter case ignored", {"lines", "EXAMPLE"}, true},
        {"lines, letter case of accented letters", {"lines", "ÉTÉ"}, true},
        {"lines, the Kelvin sign found as a k", {"lines", "273 k"}, true},
        {"lines holding a line feed", {"lines", "line feed"}, true},
        {"between, duplicates skipped", {"between", "<b>", "</b>"}, true},
        {"between, duplicates kept", {"between", "<B>", "</b>", "--keep-duplicates"}, true},
        {"between markers outside the BMP", {"between", "\U0001F600", "\U0001F600"}, true},
        {"nothing found", {"lines", "no such text"}, false},
    };
    test::ExtractionWindow w;
    fillShop(w.db);
    saveConnection(w.env, w.fields);
    bool itemWithLineFeed = false;
    int saves = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList items = windowItems(w, c.command);
        ASSERT_EQ(!items.isEmpty(), c.found);
        ASSERT_TRUE(test::failureReports(w.env.messages).isEmpty());
        itemWithLineFeed = itemWithLineFeed || std::any_of(items.begin(), items.end(),
                                                           [](const QString& item) { return item.contains('\n'); });
        const QString windowFile = w.env.path(QStringLiteral("window%1.txt").arg(saves));
        const QString cliFile = w.env.path(QStringLiteral("cli%1.txt").arg(saves++));
        w.env.fileDialog.answerNext(windowFile);
        w.form.PushButton6_Click();
        const int status = c.found ? 0 : 1;

        const Outcome plain = run(w.env, c.command);
        EXPECT_EQ(plain.status, status);
        EXPECT_EQ(plain.out.toStdString(), joined(items, '\n').toStdString());
        EXPECT_EQ(plain.err.toStdString(), ""); // no progress where no terminal watches

        const Outcome nul = run(w.env, c.command + QStringList{"-0"});
        EXPECT_EQ(nul.status, status);
        EXPECT_EQ(nul.out.toStdString(), joined(items, '\0').toStdString());

        const Outcome counted = run(w.env, c.command + QStringList{"--count"});
        EXPECT_EQ(counted.status, status);
        EXPECT_EQ(counted.out.toStdString(), QByteArray::number(items.size()).toStdString() + "\n");

        const Outcome saved = run(w.env, c.command + QStringList{"--output", cliFile});
        EXPECT_EQ(saved.status, status);
        EXPECT_EQ(saved.out.toStdString(), "");
        EXPECT_EQ(saved.err.toStdString(), "");
        EXPECT_EQ(fileBytes(cliFile).toStdString(), fileBytes(windowFile).toStdString());

        // Each item after the place the window's list names for it (its second column).
        QStringList placed;
        for (int row = 0; row < items.size(); ++row) {
            const Origin& origin = w.form.results().origin(row);
            placed << QStringLiteral("%1:%2:%3").arg(origin.field()).arg(origin.row).arg(items[row]);
        }
        const Outcome withOrigin = run(w.env, c.command + QStringList{"--with-origin", "-0"});
        EXPECT_EQ(withOrigin.out.toStdString(), joined(placed, '\0').toStdString());
    }
    EXPECT_TRUE(itemWithLineFeed) << "the fixture must give an item holding a line feed for --null to prove anything";
}

TEST(CommandLine, RunsWithoutADisplayFromEitherExecutable)
{
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {kCli});
    ASSERT_TRUE(ldd.waitForFinished(-1));
    const QByteArray libraries = ldd.readAllStandardOutput();
    EXPECT_TRUE(libraries.contains("libQt6Core"));
    for (const char* desktop : {"libQt6Gui", "libQt6Widgets", "libX11", "libxcb", "libGL"})
        EXPECT_FALSE(libraries.contains(desktop)) << desktop;

    SavedDatabase s("CREATE TABLE T(a TEXT); INSERT INTO T VALUES ('an example'), ('other')");
    struct Case {
        const char* name;
        QStringList arguments;
        QByteArray out; // what stdout starts with
    };
    const Case cases[] = {
        {"lines", {"lines", "EXAMPLE"}, "an example\n"},
        {"an option before the command", {"--count", "lines", "EXAMPLE"}, "1\n"},
        {"help", {"--help"}, "Usage: %1 lines TEXT [OPTION]...\n  or:  %1 between START END [OPTION]...\n"},
        {"version", {"--version"}, "%1 (Rowquarry) 1.0\n"},
    };
    for (const QString& program : {kCli, kWindowed}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(QStringLiteral("%1 %2").arg(program, c.name).toStdString());
            const Outcome outcome = run(s.env, c.arguments, {}, std::nullopt, program);
            EXPECT_EQ(outcome.status, 0);
            EXPECT_TRUE(outcome.out.startsWith(QByteArray(c.out).replace("%1", QFileInfo(program).fileName().toUtf8())))
                << outcome.out.toStdString();
            EXPECT_EQ(outcome.err.toStdString(), "");
        }
    }
    // Without a command and without a display, the windowed program says so in one line.
    const Outcome noDisplay = run(s.env, {}, {}, std::nullopt, kWindowed);
    EXPECT_EQ(noDisplay.status, 2);
    EXPECT_EQ(noDisplay.err.toStdString(), "rowquarry: no display to open the windows on (DISPLAY is not set); for the "
                                           "command line, see rowquarry --help\n");
}

// Structured output: each item with where it was found, the row named by its key where its table has one.
TEST(CommandLine, StructuredOutputSaysWhereEachItemWasFound)
{
    SavedDatabase s("CREATE TABLE T(id INTEGER PRIMARY KEY, note TEXT); "
                    "INSERT INTO T VALUES (7, 'an example'), (8, 'tab' || char(9) || 'example')");
    s.db.exec("CREATE TABLE L(note TEXT); INSERT INTO L VALUES ('loose example')");
    EXPECT_EQ(run(s.env, {"lines", "example", "--format", "tsv"}).out.toStdString(),
              "item\tschema\ttable\tcolumn\tkey or row\tfurther places\n"
              "an example\t\tT\tnote\tid 7\t\ntab\\texample\t\tT\tnote\tid 8\t\nloose example\t\tL\tnote\trow 1\t\n");
    EXPECT_EQ(run(s.env, {"lines", "loose", "--format", "json"}).out.toStdString(),
              "{\"column\":\"note\",\"item\":\"loose example\",\"row\":1,\"schema\":\"\",\"table\":\"L\"}\n");
    EXPECT_EQ(run(s.env, {"lines", "an example", "--with-origin"}).out.toStdString(), "T.note:1:id=7:an example\n");
}

// grep's habits: -c counts, -m ends the read after so many items, --color highlights each match on a terminal (or
// always); patterns that choose no table are a mistake. JSON writes a key's columns in the key's order, numbers as
// numbers.
TEST(CommandLine, CountsStopsHighlightsAsGrepDoesAndKeepsTheKeysOrder)
{
    SavedDatabase s("CREATE TABLE L(OrderID INTEGER, LineNo INTEGER, note TEXT, PRIMARY KEY(OrderID, LineNo))");
    s.db.exec("INSERT INTO L VALUES (2005, 2, 'an example, another Example'), (2006, 1, 'second example')");
    EXPECT_EQ(run(s.env, {"lines", "example", "-c"}).out.toStdString(), "2\n");
    const Outcome first = run(s.env, {"lines", "example", "-m", "1", "--stats"});
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(first.out.toStdString(), "an example, another Example\n");
    EXPECT_TRUE(first.err.startsWith("Stopped after ")) << first.err.toStdString(); // the read ended there

    const QByteArray plain = "an example, another Example\nsecond example\n";
    EXPECT_EQ(run(s.env, {"lines", "EXAMPLE", "--color=always"}).out.toStdString(),
              "an \x1b[01;31m\x1b[Kexample\x1b[m\x1b[K, another \x1b[01;31m\x1b[KExample\x1b[m\x1b[K\n"
              "second \x1b[01;31m\x1b[Kexample\x1b[m\x1b[K\n");
    EXPECT_EQ(run(s.env, {"lines", "example", "--color"}).out, plain); // auto: standard output is no terminal
    EXPECT_EQ(run(s.env, {"lines", "example", "--color=never"}).out, plain);

    const Outcome none = run(s.env, {"lines", "example", "--table", "Nothing*", "--exclude-table", "x"});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err.toStdString(), "rowquarry-cli: no table to read: --table 'Nothing*' --exclude-table 'x' choose "
                                      "no table (1 listed; --list-tables shows them)\n");

    EXPECT_EQ(run(s.env, {"lines", "second", "--format", "json"}).out.toStdString(),
              "{\"column\":\"note\",\"item\":\"second example\",\"key\":{\"OrderID\":2006,\"LineNo\":1},"
              "\"schema\":\"\",\"table\":\"L\"}\n");
}

TEST(CommandLine, FailuresAreOneLineOnStandardErrorWithStatusTwo)
{
    test::TestEnvironment env;
    test::SqliteDatabase db(env.path("t.db"));
    db.exec("CREATE TABLE T(a TEXT); INSERT INTO T VALUES ('an example')");
    const QString missing = env.path("no-folder/x.db");
    enum Settings { None, Saved, Fifo, BadPort };
    struct Case {
        const char* name;
        Settings settings;
        QStringList arguments;
        QString message; // what the line holds after the program's name
    };
    const QString tooLong(40000, QLatin1Char('d'));
    const Case cases[] = {
        {"no settings file and no options",
         None,
         {"lines", "example"},
         "no connection to use: " + env.settingsFile() + " does not exist"},
        {"a settings file that is a FIFO",
         Fifo,
         {"lines", "example"},
         "cannot use the saved connection in " + env.settingsFile() + ": it is not a regular file"},
        {"a database name past the driver's limit",
         Saved,
         {"lines", "example", "--database", tooLong},
         "the database (--database) is too long: the SQL Server driver takes at most 32,767 characters"},
        {"a database that does not open",
         Saved,
         {"lines", "example", "--database", missing},
         "cannot open database '" + missing + "' on 'testserver,1433': [SQLite]"},
        {"no line on standard input", Saved, {"lines", "example", "--password-stdin"}, "--password-stdin: "},
        {"a saved port that is none", BadPort, {"lines", "example"}, "the saved port 'abc' in " + env.settingsFile()},
        {"an unknown option", Saved, {"lines", "example", "--frob"}, "unknown option 'frob'"},
        {"a password as an argument", Saved, {"lines", "example", "--password", "p"}, "no --password: "},
        {"a command without its text", Saved, {"between", "<b>"}, "between takes a start text and an end text"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(env.settingsFile());
        if (c.settings == Saved)
            saveConnection(env, db.fields());
        if (c.settings == BadPort)
            saveConnection(env, ConnectionFields{"testserver", "abc", "tester", "secret", db.path(), false});
        QDir().mkpath(QFileInfo(env.settingsFile()).path());
        if (c.settings == Fifo)
            ::mkfifo(QFile::encodeName(env.settingsFile()).constData(), 0600);
        const Outcome outcome = run(env, c.arguments);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.out.toStdString(), "");
        EXPECT_TRUE(outcome.err.startsWith("rowquarry-cli: " + c.message.toUtf8())) << outcome.err.toStdString();
        EXPECT_EQ(outcome.err.count('\n'), 1);
        EXPECT_TRUE(outcome.err.endsWith('\n'));
    }
}

TEST(CommandLine, TablesAreChosenByPatternAndListedWithTheirReasons)
{
    SavedDatabase s("CREATE TABLE Customers(a TEXT); INSERT INTO Customers VALUES ('customer example')");
    s.db.exec("CREATE TABLE PaySystemConfig(a TEXT); INSERT INTO PaySystemConfig VALUES ('config example')");
    s.db.exec("CREATE TABLE OrderLines(a TEXT); INSERT INTO OrderLines VALUES ('line example')");
    s.db.exec("CREATE TABLE \"Tab\tle.x\"(a TEXT)");
    s.db.exec("CREATE VIEW CustomerView AS SELECT a FROM Customers");
    struct Case {
        const char* name;
        QStringList arguments;
        const char* out;
    };
    const Case cases[] = {
        {"every table listed with whether it is read",
         {"--list-tables"},
         "Customers\tread\nPaySystemConfig\tnot read: a system table by its name (it holds \"sys\")\nOrderLines\tread\n"
         "[Tab\\tle.x]\tread\nCustomerView\tnot read: a view\n"},
        {"a table named by a pattern is read whatever its name",
         {"lines", "example", "--table", "*SYS*", "--table", "order?ines"},
         "config example\nline example\n"},
        {"an excluded table is left out", {"lines", "example", "--exclude-table", "customers"}, "line example\n"},
        {"the patterns as the list shows them",
         {"--list-tables", "--exclude-table", "Order*", "--exclude-table", "[tab\tle.x]"},
         "Customers\tread\nPaySystemConfig\tnot read: a system table by its name (it holds \"sys\")\nOrderLines\tnot "
         "read: excluded by a pattern\n[Tab\\tle.x]\tnot read: excluded by a pattern\nCustomerView\tnot read: a "
         "view\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome outcome = run(s.env, c.arguments);
        EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
        EXPECT_EQ(outcome.out.toStdString(), c.out);
        EXPECT_EQ(outcome.err.toStdString(), "");
    }
    // --stats ends with one line of what was read, also where nobody watches.
    const Outcome stats = run(s.env, {"lines", "example", "--stats"});
    EXPECT_TRUE(QRegularExpression("^Read 3 tables, 2 left out, 2 rows, 0 KB at \\d\\d:\\d\\d in \\d+\\.\\d s\\.\\n$")
                    .match(QString::fromUtf8(stats.err))
                    .hasMatch())
        << stats.err.toStdString();
    // The tables the window chose for the saved connection's database, unless a pattern chooses; --stats says so.
    saveTableChoice(s.db.fields(), {"PaySystemConfig"}, {"Customers"});
    const Outcome chosen = run(s.env, {"lines", "example", "--stats"});
    EXPECT_EQ(chosen.out.toStdString(), "config example\nline example\n");
    EXPECT_TRUE(chosen.err.endsWith(" Tables as chosen in the window for " + s.db.path().toUtf8() +
                                    " (--table or --exclude-table choose others).\n"))
        << chosen.err.toStdString();
    EXPECT_EQ(run(s.env, {"lines", "example", "--exclude-table", "order*"}).out.toStdString(), "customer example\n");
}

TEST(CommandLine, ATableThatCannotBeReadIsNamedAfterWhatTheOthersHold)
{
    SavedDatabase s("CREATE TABLE One(a); INSERT INTO One VALUES ('first example')");
    s.db.exec("CREATE TABLE \"Thr]ee\"(a); INSERT INTO \"Thr]ee\" VALUES ('third example')"); // SQLite cannot quote ]
    s.db.exec("CREATE TABLE Two(a); INSERT INTO Two VALUES ('second example')");
    const Outcome outcome = run(s.env, {"lines", "example"});
    EXPECT_EQ(outcome.status, 2);
    QStringList lines = QString::fromUtf8(outcome.out).split('\n');
    lines.sort();
    EXPECT_EQ(lines, (QStringList{"", "first example", "second example"}));
    EXPECT_TRUE(outcome.err.startsWith("rowquarry-cli: A table could not be read and was passed over: Thr]ee. "))
        << outcome.err.toStdString();
    EXPECT_EQ(outcome.err.count('\n'), 1);
}

// A line the regular expression engine gives up on is named, with the status of a search that was not complete.
TEST(CommandLine, ALineTooComplexForTheRegularExpressionIsNamedAfterTheOthersItems)
{
    SavedDatabase s("CREATE TABLE T(v TEXT)");
    s.db.exec("INSERT INTO T VALUES ('ab'), ('" + QString(40, 'a') + "cb'), ('aab')");
    const Outcome outcome = run(s.env, {"lines", "-E", "(a+)+b"});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.out.toStdString(), "ab\naab\n");
    EXPECT_EQ(outcome.err.toStdString(), "rowquarry-cli: the regular expression is too complex for T.v, row 2\n");
}

TEST(CommandLine, TheOutputFileIsReplacedOnlyByACompleteList)
{
    SavedDatabase s("CREATE TABLE T(a TEXT); INSERT INTO T VALUES ('an example'), ('Grüße example')");
    const QString folder = s.env.path("out");
    QDir().mkpath(folder);
    writeFile(folder + "/blocker", "a file, not a folder");
    writeFile(folder + "/kept.txt", "old");
    QFile::setPermissions(folder + "/kept.txt", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    const std::string before = entries(folder);

    struct Case {
        const char* name;
        QString target;
        QStringList extra;
    };
    const Case cases[] = {
        {"in a missing folder", folder + "/missing/out.txt", {}},
        {"with a file in the way of its folder", folder + "/blocker/out.txt", {}},
        {"that is a folder", folder, {}},
        {"when the database does not open", folder + "/kept.txt", {"--database", s.env.path("no-folder/x.db")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome outcome = run(s.env, QStringList{"lines", "example", "--output", c.target} + c.extra);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(entries(folder), before);
        EXPECT_EQ(fileBytes(folder + "/kept.txt").toStdString(), "old");
        EXPECT_EQ(fileBytes(folder + "/blocker").toStdString(), "a file, not a folder");
    }
    const Outcome outcome = run(s.env, {"lines", "example", "--output", folder + "/kept.txt"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(entries(folder), before);
    EXPECT_EQ(fileBytes(folder + "/kept.txt").toStdString(),
              "an example\r\n" + QStringLiteral("Grüße example\r\n").toLocal8Bit().toStdString());
    const QFile::Permissions everyone = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                        QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther |
                                        QFile::ExeOther;
    EXPECT_EQ((QFile::permissions(folder + "/kept.txt") & everyone).toInt(),
              (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup).toInt());
}

TEST(CommandLine, AnInterruptionEndsAtOnceAndLeavesNoFileBehind)
{
    SavedDatabase s("CREATE TABLE T(a TEXT); INSERT INTO T VALUES ('an example')");
    const QString folder = s.env.path("out");
    QDir().mkpath(folder);
    writeFile(folder + "/out.txt", "old");

    struct Case {
        const char* name;
        int signal;
        int status;
        bool duringScan; // else while the password is awaited on standard input
    };
    const Case cases[] = {
        {"Ctrl-C while the password is awaited", SIGINT, 130, false},
        {"SIGTERM while the password is awaited", SIGTERM, 143, false},
        {"Ctrl-C while the database is read", SIGINT, 130, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A database locked by another program keeps the driver waiting inside the scan.
        test::SqliteDatabase locker(s.db.path());
        if (c.duringScan)
            locker.exec("BEGIN EXCLUSIVE");
        QProcess process;
        process.setProcessEnvironment(childEnvironment(s.env));
        QStringList arguments{"lines", "example", "--output", folder + "/out.txt"};
        if (!c.duringScan)
            arguments << "--password-stdin"; // standard input stays open and empty
        process.start(kCli, arguments);
        ASSERT_TRUE(process.waitForStarted(-1));
        const QString descriptors = QStringLiteral("/proc/%1/fd").arg(process.processId());
        const auto reached = [&] {
            if (entries(folder) == "out.txt") // the unfinished file is not there yet
                return false;
            if (!c.duringScan)
                return true;
            for (const QFileInfo& fd : QDir(descriptors).entryInfoList(QDir::Files | QDir::System))
                if (fd.symLinkTarget() == QFileInfo(s.db.path()).canonicalFilePath())
                    return true;
            return false;
        };
        ASSERT_TRUE(QTest::qWaitFor(reached, 60000)) << "the child never got there";
        ::kill(static_cast<pid_t>(process.processId()), c.signal);
        process.waitForFinished(-1);
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), c.status);
        EXPECT_EQ(entries(folder), "out.txt");
        EXPECT_EQ(fileBytes(folder + "/out.txt").toStdString(), "old");
        if (c.duringScan)
            locker.exec("ROLLBACK");
    }
}

TEST(CommandLine, ShowsTheTableBeingReadOnlyToATerminal)
{
    SavedDatabase s("CREATE TABLE Customers(a TEXT); INSERT INTO Customers VALUES ('an example')");
    test::PseudoTerminal terminal;
    ASSERT_TRUE(terminal.ready());
    QProcess process;
    process.setProcessEnvironment(childEnvironment(s.env));
    process.setStandardErrorFile(terminal.path());
    process.start(kCli, {"lines", "example"});
    ASSERT_TRUE(process.waitForFinished(-1));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(process.readAllStandardOutput().toStdString(), "an example\n");
    const QByteArray shown = terminal.shown();
    // The counts while it reads, overwritten in place, then one line of what was read.
    EXPECT_TRUE(QRegularExpression(
                    "^(\\r(Listing the tables|Table 1 of 1), [01] rows?, [01] KB, \\d+\\.\\d s\\x1b\\[K)+\\r\\x1b\\[K"
                    "Read 1 table, 1 row, 0 KB at \\d\\d:\\d\\d in \\d+\\.\\d s\\.\\r\\n$")
                    .match(QString::fromUtf8(shown))
                    .hasMatch())
        << shown.toStdString();
}

TEST(CommandLineOptions, ThePasswordReachesTheConnectionStringWhole)
{
    test::TestEnvironment env;
    const ConnectionFields saved{"host", "1433", "me", "saved", "Shop", false};
    saveConnection(env, saved);
    struct Case {
        const char* name;
        std::optional<QString> environment;
        std::optional<QByteArray> standardInput; // --password-stdin
        QString password;
    };
    const Case cases[] = {
        {"the saved one", std::nullopt, std::nullopt, "saved"},
        {"from the environment", "p;w}d", std::nullopt, "p;w}d"},
        {"an empty one from the environment", "", std::nullopt, ""},
        {"the first line of standard input", std::nullopt, "s;e}c\r\nsecond line\n", "s;e}c"},
        {"standard input before the environment", "p;w}d", "in};put\n", "in};put"},
        {"a last line without a line end", std::nullopt, "l{a;st", "l{a;st"},
        {"an empty line", "p;w}d", "\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList arguments{"rowquarry-cli", "lines", "x"};
        if (c.standardInput)
            arguments << "--password-stdin";
        const cli::CommandLineRequest request = cli::parseCommandLine(arguments);
        ConnectionFields fields = cli::chooseConnection(request.connection);
        QByteArray input = c.standardInput.value_or(QByteArray());
        QBuffer buffer(&input);
        buffer.open(QIODevice::ReadOnly);
        fields.password =
            cli::choosePassword(fields.password, c.environment, request.passwordFromStandardInput ? &buffer : nullptr);
        ConnectionFields expected = saved;
        expected.password = c.password;
        EXPECT_EQ(connectionString(fields), connectionString(expected));
        EXPECT_EQ(fields.password, c.password);
    }

    QByteArray empty;
    QBuffer closedInput(&empty);
    closedInput.open(QIODevice::ReadOnly);
    EXPECT_THROW(cli::choosePassword("saved", std::nullopt, &closedInput), Failure);

    qputenv("ROWQUARRY_PASSWORD", "p;w}d");
    EXPECT_EQ(cli::passwordFromEnvironment(), "p;w}d");
    qunsetenv("ROWQUARRY_PASSWORD");
    EXPECT_FALSE(cli::passwordFromEnvironment().has_value());

    // The same passwords through the real program: the driver ignores them, but they must not get in the way.
    test::SqliteDatabase db(env.path("t.db"));
    db.exec("CREATE TABLE T(a TEXT); INSERT INTO T VALUES ('an example')");
    saveConnection(env, db.fields());
    const Outcome fromEnvironment = run(env, {"lines", "example"}, {}, "p;w}d");
    const Outcome fromInput = run(env, {"lines", "example", "--password-stdin"}, "s;e}c\n");
    for (const Outcome& outcome : {fromEnvironment, fromInput}) {
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.out.toStdString(), "an example\n");
    }
}

TEST(CommandLineOptions, OptionsReplaceTheSavedFields)
{
    test::TestEnvironment env;
    struct Case {
        const char* name;
        std::optional<ConnectionFields> saved; // nothing: no settings file
        QStringList options;
        ConnectionFields chosen;
    };
    const ConnectionFields network{"saved-host", "1500", "saved-user", "pw", "saved-db", false};
    const ConnectionFields local{"saved-host\\SQLEXPRESS", "1500", "saved-user", "pw", "saved-db", true};
    const Case cases[] = {
        {"the saved connection", network, {}, network},
        {"every field replaced",
         network,
         {"--server", "db.example.com", "--port", "1433", "--user", "me", "--database", "Shop"},
         {"db.example.com", "1433", "me", "pw", "Shop", false}},
        {"made local", network, {"--local"}, {"saved-host", "1500", "saved-user", "pw", "saved-db", true}},
        {"a saved local connection", local, {}, local},
        {"made a network connection",
         local,
         {"--no-local"},
         {"saved-host\\SQLEXPRESS", "1500", "saved-user", "pw", "saved-db", false}},
        {"values with ';' and braces",
         network,
         {"--database=a;b}", "--user", "{x"},
         {"saved-host", "1500", "{x", "pw", "a;b}", false}},
        {"no settings file", std::nullopt, {"--server", "s", "--database", "d"}, {"s", "1433", "", "", "d", false}},
    };
    const auto describe = [](const ConnectionFields& f) {
        return QStringList{f.server, f.port, f.user, f.password, f.database, f.local ? "local" : "network"}.join('|');
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(env.settingsFile());
        if (c.saved)
            saveConnection(env, *c.saved);
        const cli::CommandLineRequest request =
            cli::parseCommandLine(QStringList{"rowquarry-cli", "lines", "x"} + c.options);
        EXPECT_EQ(describe(cli::chooseConnection(request.connection)), describe(c.chosen));
    }
    QFile::remove(env.settingsFile());
    EXPECT_THROW(cli::chooseConnection(cli::parseCommandLine({"rowquarry-cli", "lines", "x"}).connection), Failure);
}

TEST(CommandLineOptions, SecurityOptionsAddToTheSavedChoices)
{
    test::TestEnvironment env;
    saveConnection(env, {"host", "1433", "me", "pw", "Shop", false});
    const auto chosen = [](const QStringList& options) {
        return cli::chooseSecurity(
            cli::parseCommandLine(QStringList{"rowquarry-cli", "lines", "x"} + options).connection);
    };
    EXPECT_EQ(chosen({}), ConnectionSecurity{});
    EXPECT_EQ(chosen({"--trust-server-certificate"}),
              (ConnectionSecurity{.trustServerCertificate = true, .allowUnencrypted = false}));
    EXPECT_EQ(chosen({"--no-encryption"}),
              (ConnectionSecurity{.trustServerCertificate = false, .allowUnencrypted = true}));
    test::storeSetting("Trust Server Certificate", "1"); // as the connection window's Security... saves it
    EXPECT_EQ(chosen({"--no-encryption"}),
              (ConnectionSecurity{.trustServerCertificate = true, .allowUnencrypted = true}));
}

TEST(CommandLineOptions, WordsAndOptionsAreReadAsAShellUserMeansThem)
{
    struct Case {
        const char* name;
        QStringList arguments;
        QString searchText;
        QString startMarker;
        QString endMarker;
    };
    const Case accepted[] = {
        {"options before the command", {"--count", "lines", "x"}, "x", "", ""},
        {"a text that starts with a dash", {"lines", "--", "-x"}, "-x", "", ""},
        {"markers with blanks", {"between", "name=\" ", "\""}, "", "name=\" ", "\""},
    };
    for (const Case& c : accepted) {
        SCOPED_TRACE(c.name);
        const cli::CommandLineRequest request = cli::parseCommandLine(QStringList{"rowquarry-cli"} + c.arguments);
        EXPECT_EQ(request.searchText, c.searchText);
        EXPECT_EQ(request.startMarker, c.startMarker);
        EXPECT_EQ(request.endMarker, c.endMarker);
    }
    EXPECT_EQ(cli::parseCommandLine({"rowquarry-cli", "lines", "x", "--help"}).command, cli::Command::Help);
    const cli::CommandLineRequest matching =
        cli::parseCommandLine({"rowquarry-cli", "-E", "-s", "lines", "x", "-w", "--format=tsv", "--port", "65535"});
    EXPECT_TRUE(matching.matching.regularExpression && matching.matching.matchCase && matching.matching.wholeWord);
    EXPECT_EQ(matching.format, ResultFormat::Tsv);
    // The windowed program hands anything but Qt's own window options to the command line.
    EXPECT_FALSE(cli::startsCommandLine({"rowquarry"}));
    EXPECT_FALSE(cli::startsCommandLine({"rowquarry", "-platform", "xcb", "-reverse"}));
    EXPECT_TRUE(cli::startsCommandLine({"rowquarry", "--count", "lines", "x"}));
    EXPECT_TRUE(cli::startsCommandLine({"rowquarry", "-style", "fusion", "--frob"}));

    const QStringList rejected[] = {
        {},
        {"lines"},
        {"lines", ""},
        {"lines", "a", "b"},
        {"between", "a"},
        {"between", "", "b"},
        {"find", "x"},
        {"lines", "x", "--keep-duplicates"},
        {"lines", "x", "-0", "--count"},
        {"lines", "x", "-0", "--output", "f"},
        {"lines", "x", "--output", ""},
        {"lines", "x", "--local", "--no-local"},
        {"lines", "x", "--password", "p"},
        {"lines", "x", "--server"},
        {"lines", "x", "--port", "abc"},
        {"lines", "x", "--port", "0"},
        {"lines", "x", "--port", "65536"},
        {"lines", "x", "--format", "xml"},
        {"lines", "x", "-m", "0"},
        {"lines", "x", "--color=sometimes"},
        {"lines", "x", "-0", "--format", "json"},
        {"between", "a", "b", "--regex"},
        {"between", "a", "b", "-w"},
        {"lines", "x", "--table", "[dbo.Orders"},
        {"lines", "x", "--exclude-table", "a.b.c.d"},
    };
    for (const QStringList& arguments : rejected) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        EXPECT_THROW(cli::parseCommandLine(QStringList{"rowquarry-cli"} + arguments), cli::UsageError);
    }
}
