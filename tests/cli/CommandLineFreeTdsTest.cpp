// The command-line executable through the real FreeTDS driver and our TDS server, run as a script would.
#include "support/CommandLineChild.h"
#include "support/PseudoTerminal.h"
#include "support/TdsServer.h"

#include <QRegularExpression>
#include <QTest>

using namespace rq;
using test::TdsServer;
using test::textTable;

namespace {

constexpr auto kPassword = "x;y}z"; // needs braces, and holds a closing brace FreeTDS must get as it is

TdsServer::Options serving(QList<test::TdsTable> tables)
{
    TdsServer::Options options;
    options.user = QStringLiteral("user");
    options.password = QString::fromLatin1(kPassword);
    options.databases = {test::TdsDatabase{QStringLiteral("dbname"), std::move(tables)}};
    return options;
}

ConnectionFields savedFields(const TdsServer& server)
{
    return {"127.0.0.1", QString::number(server.port()), "user", "", "dbname", false}; // no saved password
}

} // namespace

TEST(CommandLineThroughFreeTds, ReadsEverySchemaWithThePasswordAsGiven)
{
    test::CoreEnvironment env;
    TdsServer server(serving({textTable("dbo", "Customer", {"ann@example.com", "no mail"}),
                              textTable("Sales", "Customer", {"bob@EXAMPLE.org"}),
                              textTable("dbo", "Notes", {"first\rsecond example"})}));
    ASSERT_TRUE(server.listening());
    saveConnection(env, savedFields(server));

    struct Case {
        const char* name;
        QStringList arguments;
        QByteArray input;
        std::optional<QString> environmentPassword;
        int status;
        QByteArray out;
    };
    const Case cases[] = {
        {"password from the environment",
         {"lines", "example", "--with-origin"},
         {},
         kPassword,
         0,
         "dbo.Customer.Value:1:ann@example.com\ndbo.Notes.Value:1:second example\n"
         "Sales.Customer.Value:1:bob@EXAMPLE.org\n"}, // in the server's order of tables
        {"password from standard input",
         {"lines", "example", "--count", "--password-stdin"},
         QByteArray(kPassword) + "\n",
         std::nullopt,
         0,
         "3\n"},
        {"nothing found", {"between", "<b>", "</b>"}, {}, kPassword, 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int loginsBefore = int(server.logins().size());
        const test::Outcome outcome = test::run(env, c.arguments, c.input, c.environmentPassword);
        EXPECT_EQ(outcome.status, c.status) << outcome.err.toStdString();
        EXPECT_EQ(outcome.out.toStdString(), c.out.toStdString());
        EXPECT_EQ(outcome.err.toStdString(), "");
        ASSERT_EQ(server.logins().size(), loginsBefore + 1);
        EXPECT_EQ(server.logins().last().password, QString::fromLatin1(kPassword));
    }

    const test::Outcome refused = test::run(env, {"lines", "example"}, {}, QStringLiteral("x;y"));
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.out.toStdString(), "");
    EXPECT_TRUE(refused.err.startsWith("rowquarry-cli: cannot open database 'dbname' on '127.0.0.1,"))
        << refused.err.toStdString();
}

// As grep with a read error: what was read is printed, then one line says what failed, status 2.
TEST(CommandLineThroughFreeTds, AConnectionLostPartWayPrintsWhatWasReadThenFails)
{
    test::CoreEnvironment env;
    test::TdsTable longTable;
    longTable.name = QStringLiteral("Long");
    longTable.columns = {{QStringLiteral("Text"), test::TdsType::NVarCharMax}};
    longTable.generatedRows = 200;
    longTable.generate = [](int) { return QList<test::TdsValue>{QVariant(QString(3000, u'a'))}; };
    TdsServer::Options options = serving(
        {textTable("dbo", "Before", {"example before"}), longTable, textTable("dbo", "Tail", {"example tail"})});
    options.closeAfterBytes = 300'000; // about half of the long table
    TdsServer server(options);
    saveConnection(env, savedFields(server));

    const test::Outcome outcome = test::run(env, {"lines", "example"}, {}, QString::fromLatin1(kPassword));
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.out.toStdString(), "example before\n");
    EXPECT_TRUE(outcome.err.startsWith("rowquarry-cli: cannot read database 'dbname' on '127.0.0.1," +
                                       QByteArray::number(server.port()) +
                                       "': The connection was lost while reading dbo.Long. "))
        << outcome.err.toStdString();
    EXPECT_EQ(outcome.err.count('\n'), 1);
}

// With --null an item ends with NUL: one that holds a NUL of its own is not printed but named, status 2.
TEST(CommandLineThroughFreeTds, NullEndedOutputRefusesAnItemThatHoldsANul)
{
    test::CoreEnvironment env;
    TdsServer server(serving({textTable("dbo", "T", {"plain example", QStringLiteral("nul") + QChar(0) + "example"})}));
    saveConnection(env, savedFields(server));
    const test::Outcome nul = test::run(env, {"lines", "example", "-0"}, {}, kPassword);
    EXPECT_EQ(nul.status, 2);
    EXPECT_EQ(nul.out, QByteArray("plain example\0", 14));
    EXPECT_EQ(nul.err.toStdString(), "rowquarry-cli: an item holding NUL was not printed: --null ends each item with "
                                     "NUL, so an item holding one cannot be told apart (the first at dbo.T.Value:2); "
                                     "leave out --null to see it\n");
    EXPECT_EQ(test::run(env, {"lines", "example"}, {}, kPassword).out, QByteArray("plain example\nnul\0example\n", 26));
}

// With --with-origin the place comes first in the record, and a key value may hold a NUL of its own.
TEST(CommandLineThroughFreeTds, NullEndedOutputRefusesARecordWhoseKeyHoldsANul)
{
    test::CoreEnvironment env;
    test::TdsTable keyed;
    keyed.name = QStringLiteral("K");
    keyed.columns = {{QStringLiteral("Key"), test::TdsType::NVarChar, 20},
                     {QStringLiteral("Note"), test::TdsType::NVarChar, 100}};
    keyed.rows = {{QString(QStringLiteral("a") + QChar(0) + "b"), QStringLiteral("keyed example")},
                  {QStringLiteral("plain"), QStringLiteral("keyed example too")}};
    keyed.primaryKey = {QStringLiteral("Key")};
    TdsServer server(serving({keyed}));
    saveConnection(env, savedFields(server));
    const test::Outcome nul = test::run(env, {"lines", "example", "-0", "--with-origin"}, {}, kPassword);
    EXPECT_EQ(nul.status, 2);
    EXPECT_EQ(nul.out, QByteArray("dbo.K.Note:2:Key=plain:keyed example too\0", 41));
    EXPECT_EQ(nul.err.toStdString(), "rowquarry-cli: an item holding NUL was not printed: --null ends each item with "
                                     "NUL, so an item holding one cannot be told apart (the first at dbo.K.Note:1); "
                                     "leave out --null to see it\n");
}

// Items reach a pipe while the database is still read, not when the command ends: here the server holds back
// the table's last row until the command is ended. The results file's format, written to a device, too.
TEST(CommandLineThroughFreeTds, ItemsReachAPipeAsTheirRowsArrive)
{
    test::CoreEnvironment env;
    test::TdsTable table = textTable("dbo", "Slow", {"example 1", "example 2", "example 3", "example 4", "never sent"});
    table.stallAfterRows = 4;
    TdsServer::Options options = serving({table});
    options.rowDelayMs = 30; // a slow server: the scan hands its rows over in batches of one or a few
    TdsServer server(options);
    saveConnection(env, savedFields(server));
    struct Case {
        const char* name;
        QStringList options;
        QByteArray out;
    };
    const Case cases[] = {
        {"standard output", {}, "example 1\nexample 2\nexample 3\nexample 4\n"},
        {"the results file on a device",
         {"--output", "/dev/stdout"},
         "example 1\r\nexample 2\r\nexample 3\r\nexample 4\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QProcess child;
        QProcessEnvironment environment = test::childEnvironment(env);
        environment.insert(QStringLiteral("ROWQUARRY_PASSWORD"), QString::fromLatin1(kPassword));
        child.setProcessEnvironment(environment);
        child.start(test::kCli, QStringList{"lines", "example"} + c.options);
        QByteArray out;
        const auto allArrived = [&] {
            out += child.readAllStandardOutput();
            return out.size() >= c.out.size();
        };
        EXPECT_TRUE(QTest::qWaitFor(allArrived, 30000)) << out.toStdString();
        EXPECT_EQ(child.state(), QProcess::Running); // still waiting for the last row
        EXPECT_EQ(out.toStdString(), c.out.toStdString());
        child.kill();
        child.waitForFinished(-1);
    }
}

// Items and the counts on one terminal: the counts' line is cleared before items are printed and drawn again
// after, so that every item starts a line of its own.
TEST(CommandLineThroughFreeTds, ItemsOnATerminalGetLinesOfTheirOwn)
{
    test::CoreEnvironment env;
    TdsServer::Options options = serving({textTable("dbo", "T", {"example 1", "other", "example 2"})});
    options.rowDelayMs = 30; // the counts show before the first row arrives
    TdsServer server(options);
    saveConnection(env, savedFields(server));
    test::PseudoTerminal terminal;
    ASSERT_TRUE(terminal.ready());
    QProcess process;
    QProcessEnvironment environment = test::childEnvironment(env);
    environment.insert(QStringLiteral("ROWQUARRY_PASSWORD"), QString::fromLatin1(kPassword));
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(terminal.path());
    process.setStandardErrorFile(terminal.path());
    process.start(test::kCli, {"lines", "example"});
    ASSERT_TRUE(process.waitForFinished(-1));
    EXPECT_EQ(process.exitCode(), 0);
    const QString shown = QString::fromUtf8(terminal.shown());
    // The counts may show once before the listing has arrived.
    const QString counts =
        QStringLiteral("\\r(Listing the tables|Table 1 of 1), \\d+ rows?, 0 KB, \\d+\\.\\d s\\x1b\\[K");
    const QString cleared = QStringLiteral("\\r\\x1b\\[K");
    EXPECT_TRUE(QRegularExpression("^(" + counts + ")+" + cleared + "example 1\\r\\n(" + counts + "|" + cleared +
                                   "|example 2\\r\\n)*" + cleared +
                                   "Read 1 table, 3 rows, 0 KB at \\d\\d:\\d\\d in \\d+\\.\\d s\\.\\r\\n$")
                    .match(shown)
                    .hasMatch())
        << shown.toStdString();
    EXPECT_TRUE(QRegularExpression("(^|\\n|\\x1b\\[K)example 2").match(shown).hasMatch()) << shown.toStdString();
    EXPECT_FALSE(shown.contains(QRegularExpression("\\d s\\x1b\\[Kexample"))) << shown.toStdString();
}

// The driver's login time-out counts each wait for a byte; the program's own deadline ends the login.
TEST(CommandLineThroughFreeTds, GivesUpOnALoginAnswerTrickledByteByByte)
{
    test::CoreEnvironment env;
    TdsServer::Options options = serving({textTable("dbo", "T", {"never read"})});
    options.fault = TdsServer::Fault::TrickleLoginAnswer;
    TdsServer server(options);
    saveConnection(env, savedFields(server));
    const test::Outcome outcome = test::run(env, {"lines", "read"}, {}, kPassword);
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err.toStdString(), "rowquarry-cli: cannot open database 'dbname' on '127.0.0.1," +
                                             QString::number(server.port()).toStdString() +
                                             "': The server did not complete the login within 15 seconds.\n");
}

// The saved choices stand unless an option adds one; a refusal says which and names the option that allows it.
TEST(CommandLineThroughFreeTds, EncryptionIsRequiredUnlessAnOptionAllowsLess)
{
    test::CoreEnvironment env;
    TdsServer::Options options = serving({textTable("dbo", "Customer", {"ann@example.com"})});
    options.canEncrypt = false;
    TdsServer plain(options);
    options.canEncrypt = true;
    options.certificate = test::selfSignedCertificate({"127.0.0.1"});
    TdsServer selfSigned(options);
    const QString prefix = "rowquarry-cli: cannot open database 'dbname' on '127.0.0.1,%1': ";

    saveConnection(env, savedFields(plain));
    const test::Outcome refused = test::run(env, {"lines", "example"}, {}, kPassword);
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(refused.err.startsWith((prefix.arg(plain.port()) + "The server cannot encrypt").toUtf8()))
        << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains("--no-encryption"));
    const test::Outcome allowed = test::run(env, {"lines", "example", "--no-encryption"}, {}, kPassword);
    EXPECT_EQ(allowed.out.toStdString(), "ann@example.com\n");
    ASSERT_EQ(plain.logins().size(), 1);
    EXPECT_EQ(plain.logins()[0].protection, TdsServer::Protection::None);

    saveConnection(env, savedFields(selfSigned));
    const test::Outcome unverified = test::run(env, {"--list-tables"}, {}, kPassword);
    EXPECT_EQ(unverified.status, 2);
    EXPECT_TRUE(unverified.err.startsWith(
        (prefix.arg(selfSigned.port()) + "The server's certificate could not be verified").toUtf8()))
        << unverified.err.toStdString();
    EXPECT_TRUE(unverified.err.contains("--trust-server-certificate"));
    const test::Outcome trusted = test::run(env, {"lines", "example", "--trust-server-certificate"}, {}, kPassword);
    EXPECT_EQ(trusted.out.toStdString(), "ann@example.com\n");
    ASSERT_EQ(selfSigned.logins().size(), 1); // the refused runs never sent the password
    EXPECT_EQ(selfSigned.logins()[0].protection, TdsServer::Protection::Session);
}

// Several databases: listed with why each is read or not, chosen by pattern or all at once, and named first
// wherever an item says where it was found.
TEST(CommandLineThroughFreeTds, DatabasesAreListedChosenAndNamed)
{
    test::CoreEnvironment env;
    TdsServer::Options options = serving({textTable("dbo", "Customer", {"ann acme"})});
    options.databases.append({QStringLiteral("Archive"), {textTable("dbo", "Customer", {"old acme"})}});
    test::TdsDatabase secret{QStringLiteral("Secret"), {}};
    secret.accessible = false;
    options.databases.append(secret);
    options.addSystemDatabases();
    TdsServer server(options);
    saveConnection(env, savedFields(server));
    struct Case {
        const char* name;
        QStringList arguments;
        QByteArray out;
    };
    const Case cases[] = {
        {"every database, whether it is read",
         {"--list-databases"},
         "Archive\tnot read: not chosen\ndbname\tread\nmaster\tnot read: SQL Server's own\nmodel\tnot read: SQL "
         "Server's own\nmsdb\tnot read: SQL Server's own\nSecret\tnot read: the login has no access\ntempdb\tnot "
         "read: SQL Server's own\n"},
        {"the tables of the databases a pattern names, with their database",
         {"--list-tables", "--database", "*a*", "--table", "*.dbo.*"},
         "Archive.dbo.Customer\tread\ndbname.dbo.Customer\tread\n"},
        {"all databases, each item after its place, the database first",
         {"lines", "acme", "--all-databases", "--with-origin"},
         "Archive.dbo.Customer.Value:1:old acme\ndbname.dbo.Customer.Value:1:ann acme\n"},
        {"JSON names the database",
         {"lines", "acme", "--database", "arch*", "--format", "json"},
         "{\"column\":\"Value\",\"database\":\"Archive\",\"item\":\"old acme\",\"row\":1,\"schema\":\"dbo\","
         "\"table\":\"Customer\"}\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const test::Outcome outcome = test::run(env, c.arguments, {}, kPassword);
        EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
        EXPECT_EQ(outcome.out.toStdString(), c.out.toStdString());
    }
}
