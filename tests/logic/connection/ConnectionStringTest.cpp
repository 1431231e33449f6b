#include "logic/connection/ConnectionString.h"
#include "support/NamedRows.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

using namespace rq;
using platform::SqlServerDriver;

namespace {

const SqlServerDriver microsoft{SqlServerDriver::Microsoft, {}};
const SqlServerDriver freeTds{SqlServerDriver::FreeTds, QStringLiteral("7.4")};
// Unencrypted connections allowed: FreeTDS gets the server as Server=, as it did before encryption was required.
const ConnectionSecurity serverNamed{.trustServerCertificate = false, .allowUnencrypted = true};

struct StringCase {
    const char* name;
    ConnectionFields fields;
    QString microsoftString; // for Microsoft's driver
    QString freeTdsString;   // for FreeTDS with version 7.4 to name
};

void PrintTo(const StringCase& c, std::ostream* out) { *out << c.name; }

class ConnectionStringFor : public testing::TestWithParam<StringCase> {};

TEST_P(ConnectionStringFor, BothDrivers)
{
    const StringCase& c = GetParam();
    EXPECT_EQ(connectionString(c.fields, microsoft, serverNamed), c.microsoftString + "Encrypt=no;");
    EXPECT_EQ(connectionString(c.fields, freeTds, serverNamed), c.freeTdsString + "Encryption=request;");
    EXPECT_EQ(connectionProblem(c.fields, microsoft, serverNamed), "");
    EXPECT_EQ(connectionProblem(c.fields, freeTds, serverNamed), "");
}

const QString ms = QStringLiteral("Driver={SQL Server};");
const QString v74 = QStringLiteral("TDS_Version=7.4;");
const QString port1433 = QStringLiteral("Port=1433;");

INSTANTIATE_TEST_SUITE_P(
    Rows, ConnectionStringFor,
    testing::Values(StringCase{"network",
                               {"db.example.com", "1433", "sa", "pw", "Sales", false},
                               ms + "Server=db.example.com,1433;Database=Sales;Uid=sa;Pwd=pw;",
                               ms + "Server=db.example.com,1433;Database=Sales;Uid=sa;Pwd=pw;" + v74},
                    // The port box is not read in the local form; a plain server name needs FreeTDS told the port.
                    StringCase{"local",
                               {"db.example.com", "9999", "sa", "pw", "Sales", true},
                               ms + "Server=db.example.com;Database=Sales;Uid=sa;Pwd=pw;",
                               ms + "Server=db.example.com;Database=Sales;Uid=sa;Pwd=pw;" + v74 + port1433},
                    StringCase{"local, every box empty",
                               {"", "", "", "", "", true},
                               ms + "Server=;Database=;Uid=;Pwd=;",
                               ms + "Server=;Database=;Uid=;Pwd=;" + v74 + port1433},
                    StringCase{"network, empty port",
                               {"srv", "", "", "", "", false},
                               ms + "Server=srv,;Database=;Uid=;Pwd=;",
                               ms + "Server=srv,;Database=;Uid=;Pwd=;" + v74},
                    StringCase{"blanks carried as typed",
                               {" srv ", " 1 ", " u ", " p ", " d ", false},
                               ms + "Server= srv , 1 ;Database= d ;Uid= u ;Pwd= p ;",
                               ms + "Server= srv , 1 ;Database= d ;Uid= u ;Pwd= p ;" + v74},
                    StringCase{"local, named instance",
                               {"localhost\\SQLEXPRESS", "", "u", "p", "d", true},
                               ms + "Server=localhost\\SQLEXPRESS;Database=d;Uid=u;Pwd=p;",
                               ms + "Server=localhost\\SQLEXPRESS;Database=d;Uid=u;Pwd=p;" + v74},
                    StringCase{"local, port in the server box",
                               {"localhost,1500", "", "u", "p", "d", true},
                               ms + "Server=localhost,1500;Database=d;Uid=u;Pwd=p;",
                               ms + "Server=localhost,1500;Database=d;Uid=u;Pwd=p;" + v74},
                    // Braces only where a value could add keys or would be read as braced: ';' inside, '{' first.
                    StringCase{"semicolon in the password",
                               {"srv", "1433", "sa", "a;Database=master", "Sales", false},
                               ms + "Server=srv,1433;Database=Sales;Uid=sa;Pwd={a;Database=master};",
                               ms + "Server=srv,1433;Database=Sales;Uid=sa;Pwd={a;Database=master};" + v74},
                    StringCase{"braces inside a value",
                               {"srv", "1433", "sa", "x}y{z", "Sales", false},
                               ms + "Server=srv,1433;Database=Sales;Uid=sa;Pwd=x}y{z;",
                               ms + "Server=srv,1433;Database=Sales;Uid=sa;Pwd=x}y{z;" + v74},
                    StringCase{"opening brace first",
                               {"srv", "1433", "{u", "{ab}", "Sales", false},
                               ms + "Server=srv,1433;Database=Sales;Uid={{u};Pwd={{ab}}};",
                               ms + "Server=srv,1433;Database=Sales;Uid={{u};Pwd={{ab}};" + v74},
                    StringCase{"semicolon and closing brace in the password",
                               {"srv", "1433", "sa", "x;y}z", "Sales", false},
                               ms + "Server=srv,1433;Database=Sales;Uid=sa;Pwd={x;y}}z};",
                               ms + "Server=srv,1433;Database=Sales;Uid=sa;Pwd={x;y}z};" + v74},
                    StringCase{"closing brace last in a braced value",
                               {"srv", "1433", "sa", "a;b}", "Sales", false},
                               ms + "Server=srv,1433;Database=Sales;Uid=sa;Pwd={a;b}}};",
                               ms + "Server=srv,1433;Database=Sales;Uid=sa;Pwd={a;b}};" + v74},
                    StringCase{"semicolon in the server, braced with its port",
                               {"my;server", "1433", "sa", "p", "Sales", false},
                               ms + "Server={my;server,1433};Database=Sales;Uid=sa;Pwd=p;",
                               ms + "Server={my;server,1433};Database=Sales;Uid=sa;Pwd=p;" + v74},
                    StringCase{"semicolons in user and database",
                               {"srv", "1", "a;b", "p", "c;d", false},
                               ms + "Server=srv,1;Database={c;d};Uid={a;b};Pwd=p;",
                               ms + "Server=srv,1;Database={c;d};Uid={a;b};Pwd=p;" + v74}),
    test::rowName<StringCase>);

struct ProblemCase {
    const char* name;
    ConnectionFields fields;
    const char* field;    // as the message names it; nullptr: carried
    bool tooLong = false; // for either driver, past the driver manager's 32,767 characters
};

void PrintTo(const ProblemCase& c, std::ostream* out) { *out << c.name; }

class ConnectionProblemFor : public testing::TestWithParam<ProblemCase> {};

// FreeTDS ends a braced value at its first "};" and has no way to write one inside; Microsoft's driver
// takes every value.
TEST_P(ConnectionProblemFor, NamesTheFieldTheDriverCannotBeGiven)
{
    const ProblemCase& c = GetParam();
    if (c.tooLong) {
        const QString expected = QStringLiteral("The %1 is too long: the SQL Server driver takes at most 32,767 "
                                                "characters for the whole connection. Please shorten the %1.")
                                     .arg(QLatin1String(c.field));
        EXPECT_EQ(connectionProblem(c.fields, microsoft), expected);
        EXPECT_EQ(connectionProblem(c.fields, freeTds, serverNamed), expected);
        EXPECT_THROW(connectionString(c.fields, microsoft), UncarriableField);
        return;
    }
    EXPECT_EQ(connectionProblem(c.fields, microsoft), "");
    EXPECT_NO_THROW(connectionString(c.fields, microsoft));
    if (!c.field) {
        EXPECT_EQ(connectionProblem(c.fields, freeTds, serverNamed), "");
        EXPECT_NO_THROW(connectionString(c.fields, freeTds, serverNamed));
        return;
    }
    const QString expected = QStringLiteral("The %1 contains \"};\", which the SQL Server driver (FreeTDS) cannot "
                                            "accept. Please change the %1.")
                                 .arg(QLatin1String(c.field));
    EXPECT_EQ(connectionProblem(c.fields, freeTds, serverNamed), expected);
    try {
        connectionString(c.fields, freeTds, serverNamed);
        ADD_FAILURE() << "no failure for a value that cannot be carried";
    } catch (const UncarriableField& failure) {
        EXPECT_EQ(failure.description(), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ConnectionProblemFor,
    testing::Values(ProblemCase{"password", {"srv", "1", "u", "a};b", "d", false}, "password"},
                    ProblemCase{"username", {"srv", "1", "a};", "p", "d", false}, "username"},
                    ProblemCase{"database", {"srv", "1", "u", "p", "{x};", false}, "database name"},
                    ProblemCase{"server", {"a};b", "1", "u", "p", "d", false}, "server name"},
                    ProblemCase{"server, local", {"a};b", "", "u", "p", "d", true}, "server name"},
                    ProblemCase{"port", {"srv", "1};", "u", "p", "d", false}, "port"},
                    // The port box is not read in the local form.
                    ProblemCase{"port, local", {"srv", "1};", "u", "p", "d", true}, nullptr},
                    // Unbraced: FreeTDS reads up to the next ';', '}' and all.
                    ProblemCase{"closing braces without semicolon", {"srv", "1", "u", "a}b}", "d", false}, nullptr},
                    ProblemCase{"semicolon then closing brace", {"srv", "1", "u", "a;}", "d", false}, nullptr},
                    // The driver manager passes the length in 16 bits: the longest field is the one to shorten.
                    ProblemCase{"a database name past the limit",
                                {"srv", "1", "u", "p", QString(40000, 'd'), false},
                                "database name",
                                true},
                    ProblemCase{"two long fields",
                                {"srv", "1", QString(16000, 'u'), QString(17000, 'p'), "d", false},
                                "password",
                                true},
                    ProblemCase{"just within the limit", {"srv", "1", "u", "p", QString(32600, 'd'), false}, nullptr}),
    test::rowName<ProblemCase>);

} // namespace

TEST(ConnectionString, FreeTdsNamesTheVersionItIsGivenAndNoneWhenGivenNone)
{
    const ConnectionFields fields{"srv", "1433", "sa", "pw", "Sales", false};
    EXPECT_EQ(connectionString(fields, SqlServerDriver{SqlServerDriver::FreeTds, QStringLiteral("7.2")}, serverNamed),
              "Driver={SQL Server};Server=srv,1433;Database=Sales;Uid=sa;Pwd=pw;TDS_Version=7.2;Encryption=request;");
    EXPECT_EQ(connectionString(fields, SqlServerDriver{SqlServerDriver::FreeTds, {}}, serverNamed),
              "Driver={SQL Server};Server=srv,1433;Database=Sales;Uid=sa;Pwd=pw;Encryption=request;");
}

// These tests register the SQLite driver as "SQL Server": Microsoft's rules apply.
TEST(ConnectionString, TheSimpleCallFollowsTheRegisteredDriver)
{
    const ConnectionFields fields{"srv", "1433", "sa", "x;y}z", "Sales", false};
    EXPECT_EQ(platform::registeredSqlServerDriver(), microsoft);
    EXPECT_EQ(connectionString(fields), connectionString(fields, microsoft));
}

namespace {

struct SecurityCase {
    const char* name;
    ConnectionSecurity security;
    QString microsoftAttributes; // what Microsoft's driver's string ends with
    bool freeTdsEntry;           // FreeTDS gets the server through an entry of Rowquarry's freetds.conf
    QString freeTdsEncryption;
};

void PrintTo(const SecurityCase& c, std::ostream* out) { *out << c.name; }

class SecurityAttributesFor : public testing::TestWithParam<SecurityCase> {};

TEST_P(SecurityAttributesFor, BothDrivers)
{
    const SecurityCase& c = GetParam();
    const ConnectionFields fields{"db.example.com", "1433", "sa", "pw", "Sales", false};
    EXPECT_EQ(connectionString(fields, microsoft, c.security),
              ms + "Server=db.example.com,1433;Database=Sales;Uid=sa;Pwd=pw;" + c.microsoftAttributes);
    const platform::FreeTdsEntry entry = freeTdsEntry(fields, c.security);
    const QString address =
        c.freeTdsEntry ? "Servername=" + entry.name() : QStringLiteral("Server=db.example.com,1433");
    test::ScopedEnvironment environment;
    environment.set("FREETDSCONF", std::nullopt);
    const QString freeTdsString = connectionString(fields, freeTds, c.security);
    EXPECT_EQ(freeTdsString, ms + address + ";Database=Sales;Uid=sa;Pwd=pw;" + v74 + c.freeTdsEncryption);
    // Before the first FreeTDS connection, whatever it needs: see platform::pointFreeTdsAtRowquarrysFile.
    EXPECT_EQ(qEnvironmentVariable("FREETDSCONF"), platform::rowquarryFreeTdsConf());
    if (!c.freeTdsEntry)
        return;
    EXPECT_EQ(entry.caFile.isEmpty(), c.security.trustServerCertificate); // the trust store, unless trusted
    EXPECT_EQ(platform::freeTdsEntryOf(freeTdsString), entry);            // written for the driver to read
}

INSTANTIATE_TEST_SUITE_P(Rows, SecurityAttributesFor,
                         testing::Values(SecurityCase{"the default, encrypted and the certificate checked",
                                                      {},
                                                      "Encrypt=yes;",
                                                      true,
                                                      "Encryption=require;"},
                                         SecurityCase{"certificate trusted",
                                                      {.trustServerCertificate = true, .allowUnencrypted = false},
                                                      "Encrypt=yes;TrustServerCertificate=yes;",
                                                      true,
                                                      "Encryption=require;"},
                                         SecurityCase{"unencrypted allowed",
                                                      {.trustServerCertificate = false, .allowUnencrypted = true},
                                                      "Encrypt=no;",
                                                      false,
                                                      "Encryption=request;"},
                                         SecurityCase{"both",
                                                      {.trustServerCertificate = true, .allowUnencrypted = true},
                                                      "Encrypt=no;TrustServerCertificate=yes;",
                                                      false,
                                                      "Encryption=request;"}),
                         test::rowName<SecurityCase>);

struct EntryCase {
    const char* name;
    ConnectionFields fields;
    QString host, port, instance;
};

void PrintTo(const EntryCase& c, std::ostream* out) { *out << c.name; }

class FreeTdsEntryFor : public testing::TestWithParam<EntryCase> {};

// The server as FreeTDS itself splits Server= (a host, then "\instance", or ",port" where a number follows).
TEST_P(FreeTdsEntryFor, SplitsTheServerAsFreeTdsDoes)
{
    const EntryCase& c = GetParam();
    const platform::FreeTdsEntry entry = freeTdsEntry(c.fields, {});
    EXPECT_EQ(entry.host, c.host);
    EXPECT_EQ(entry.port, c.port);
    EXPECT_EQ(entry.instance, c.instance);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FreeTdsEntryFor,
    testing::Values(
        EntryCase{"network", {"db", "1433", "u", "p", "d", false}, "db", "1433", ""},
        EntryCase{"local, a server named alone", {"db", "9999", "u", "p", "d", true}, "db", "1433", ""},
        EntryCase{"local, a named instance", {"db\\SQLEXPRESS", "9999", "u", "p", "d", true}, "db", "", "SQLEXPRESS"},
        EntryCase{"local, port in the server box", {"db,1500", "", "u", "p", "d", true}, "db", "1500", ""},
        EntryCase{"a port read as a number is read", {"db", " 1500x", "u", "p", "d", false}, "db", "1500", ""},
        EntryCase{
            "a port that is no number stays with the host", {"db", "abc", "u", "p", "d", false}, "db,abc", "", ""}),
    test::rowName<EntryCase>);

struct EntryProblemCase {
    const char* name;
    ConnectionFields fields;
    const char* field; // as the message names it; nullptr: carried
};

void PrintTo(const EntryProblemCase& c, std::ostream* out) { *out << c.name; }

class FreeTdsEntryProblemFor : public testing::TestWithParam<EntryProblemCase> {};

// FreeTDS's file ends a value at '#' or ';' and drops or merges blanks; a line break would start a line of its own.
TEST_P(FreeTdsEntryProblemFor, NamesTheBoxItsFileCannotHold)
{
    const EntryProblemCase& c = GetParam();
    EXPECT_EQ(connectionProblem(c.fields, freeTds, serverNamed), ""); // Server= carries it as typed
    if (!c.field) {
        EXPECT_EQ(connectionProblem(c.fields, freeTds, {}), "");
        return;
    }
    const QString expected =
        QStringLiteral(
            "The %1 holds a line break, \"#\", \";\", a blank at either end or two blanks in a row, which "
            "the SQL Server driver (FreeTDS) cannot accept for an encrypted connection. Please change the %1.")
            .arg(QLatin1String(c.field));
    EXPECT_EQ(connectionProblem(c.fields, freeTds, {}), expected);
    EXPECT_THROW(connectionString(c.fields, freeTds, {}), UncarriableField);
    EXPECT_EQ(connectionProblem(c.fields, microsoft, {}), ""); // Microsoft's driver takes it
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FreeTdsEntryProblemFor,
    testing::Values(
        EntryProblemCase{"a hash in the server", {"db#1", "1433", "u", "p", "d", false}, "server name"},
        EntryProblemCase{"a blank at the server's end", {"db ", "1433", "u", "p", "d", false}, "server name"},
        EntryProblemCase{"two blanks in the server", {"a  b", "1433", "u", "p", "d", false}, "server name"},
        EntryProblemCase{"a line break in the instance", {"db\\A\nB", "", "u", "p", "d", true}, "server name"},
        EntryProblemCase{"a port that is no number holds a semicolon", {"db", "x;1", "u", "p", "d", false}, "port"},
        // What follows the port's number is dropped, by FreeTDS too.
        EntryProblemCase{"a hash after the port's number", {"db", "1#", "u", "p", "d", false}, nullptr}),
    test::rowName<EntryProblemCase>);

} // namespace
