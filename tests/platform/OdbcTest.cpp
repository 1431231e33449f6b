#include "platform/Odbc.h"
#include "support/CoreEnvironment.h"
#include "support/SqliteFile.h"

using namespace rq;
using namespace rq::platform::odbc;

TEST(Odbc, ReadsTextNullsAndLongValuesInPieces)
{
    test::CoreEnvironment env;
    test::SqliteFile db(env.path("t.db"));
    db.exec("CREATE TABLE t(a TEXT, b TEXT, c INTEGER, d REAL)");
    const QString longValue = QString(10000, QLatin1Char('x')) + QStringLiteral("é€") + QString(5000, QLatin1Char('y'));
    db.exec(QStringLiteral("INSERT INTO t VALUES ('%1', NULL, 42, 2.5)").arg(longValue));

    Connection connection;
    connection.open(test::sqliteConnectionString(db.path()));
    Statement statement(connection);
    statement.execute("SELECT * FROM [t]");
    ASSERT_EQ(statement.columnCount(), 4);
    ASSERT_TRUE(statement.fetch());
    QString buffer;
    EXPECT_EQ(statement.readText(1, buffer)->toString(), longValue); // more than one 4096-unit chunk
    EXPECT_FALSE(statement.readText(2, buffer).has_value());
    EXPECT_EQ(statement.readText(3, buffer)->toString(), "42");
    EXPECT_EQ(statement.readText(4, buffer)->toString(), "2.5");
    EXPECT_FALSE(statement.fetch());
}

TEST(Odbc, FailuresCarryTheDriversDiagnostics)
{
    test::CoreEnvironment env;
    Connection connection;
    try {
        connection.open(test::sqliteConnectionString(env.path("missing-folder/t.db")));
        FAIL() << "a database in a missing folder must not open";
    } catch (const OdbcError& error) {
        EXPECT_FALSE(error.description().isEmpty());
        EXPECT_FALSE(error.sqlState().isEmpty());
    }
    EXPECT_FALSE(connection.isOpen());

    test::SqliteFile db(env.path("t.db"));
    db.exec("CREATE TABLE t(a)");
    Connection open;
    open.open(test::sqliteConnectionString(db.path()));
    Statement statement(open);
    try {
        statement.execute("SELECT * FROM [no_such_table]");
        FAIL() << "a missing table must fail";
    } catch (const OdbcError& error) {
        EXPECT_TRUE(error.description().contains("no_such_table")) << error.what();
    }
}

TEST(Odbc, UnknownDriverFailsCleanly)
{
    Connection connection;
    EXPECT_THROW(connection.open("Driver={No Such Driver};Database=x;"), OdbcError);
}

TEST(Odbc, BoundRowsTakeTheSameMemoryWhateverTheWidthOfTheTable)
{
    test::CoreEnvironment env;
    test::SqliteFile db(env.path("t.db"));
    QStringList columns;
    for (int c = 0; c < 256; ++c)
        columns << QStringLiteral("c%1 varchar(4000)").arg(c);
    db.exec(QStringLiteral("CREATE TABLE wide(%1)").arg(columns.join(',')));
    db.exec("CREATE TABLE narrow(a varchar(10), b varchar(10))");

    Connection connection;
    connection.open(test::sqliteConnectionString(db.path()));
    const auto rowsPerFetch = [&](const char* table) {
        Statement statement(connection);
        statement.execute(QStringLiteral("SELECT * FROM [%1]").arg(table));
        const auto bound = BoundRows::bind(statement, statement.columnCount(), 256, 4 << 20, 4000);
        return bound ? bound->rowsPerFetch() : -1;
    };
    EXPECT_EQ(rowsPerFetch("narrow"), 256);
    EXPECT_EQ(rowsPerFetch("wide"), 2); // 256 columns of 8 KB: 2 MB a row
}
