// What the test server serves for several databases, isolation levels and locks, batches of many statements and
// their failures, and a slow network, as the real FreeTDS driver reports it call by call.
#include "logic/connection/ConnectionString.h"
#include "platform/Odbc.h"
#include "support/TdsServing.h"

#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

using namespace rq;
using test::TdsFailure;
using test::TdsIsolation;
using test::TdsServer;
using test::TdsTable;
using test::textTable;

namespace {

QString text(const SQLWCHAR* units, qsizetype size)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(units), size);
}

// Batches run on a connection of its own, written down as the ODBC calls answered them:
// "exec ok | rows a1 a2 | more error 229 | more no data". The driver gives up on a query after 1 s.
class Statement {
public:
    explicit Statement(const TdsServer& server, const QString& database = QStringLiteral("dbname"))
    {
        ConnectionFields fields = test::fieldsFor(server);
        fields.database = database;
        connection_.open(connectionString(fields));
        SQLAllocHandle(SQL_HANDLE_STMT, connection_.handle(), &handle_);
        SQLSetStmtAttr(handle_, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(1), 0);
    }
    ~Statement() { SQLFreeHandle(SQL_HANDLE_STMT, handle_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    std::string run(const QString& sql)
    {
        SQLRETURN rc = SQLExecDirectW(handle_, const_cast<SQLWCHAR*>(sql.utf16()), SQL_NTS);
        QString trace = call("exec", rc);
        for (SQLSMALLINT columns = 0; rc != SQL_NO_DATA; trace += " | " + call("more", rc = SQLMoreResults(handle_)))
            if (SQL_SUCCEEDED(rc) && SQL_SUCCEEDED(SQLNumResultCols(handle_, &columns)) && columns > 0)
                trace += " | rows" + rows(columns);
        SQLFreeStmt(handle_, SQL_CLOSE); // after a failed exec, discards what the driver manager no longer asks for
        return trace.toStdString();
    }

private:
    QString call(const char* name, SQLRETURN rc) // the outcome, and the native number (or state) of each message
    {
        QString outcome = QString::fromLatin1(name) + (rc == SQL_SUCCESS             ? " ok"
                                                       : rc == SQL_SUCCESS_WITH_INFO ? " info"
                                                       : rc == SQL_NO_DATA           ? " no data"
                                                                                     : " error");
        SQLWCHAR state[6];
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        for (SQLSMALLINT i = 1;
             SQL_SUCCEEDED(SQLGetDiagRecW(SQL_HANDLE_STMT, handle_, i, state, &native, nullptr, 0, &length)); ++i)
            outcome += u' ' + (native ? QString::number(native) : text(state, 5));
        return outcome;
    }

    QString rows(SQLSMALLINT columns) // each row as its values joined by commas
    {
        QString values;
        SQLRETURN rc;
        while ((rc = SQLFetch(handle_)) == SQL_SUCCESS) {
            for (SQLUSMALLINT c = 1; c <= columns; ++c) {
                SQLWCHAR value[256];
                SQLLEN bytes = 0;
                SQLGetData(handle_, c, SQL_C_WCHAR, value, sizeof value, &bytes);
                values += (c == 1 ? u' ' : u',') + text(value, bytes / 2);
            }
        }
        return rc == SQL_NO_DATA ? values : values + " | " + call("fetch", rc);
    }

    platform::odbc::Connection connection_;
    SQLHSTMT handle_ = nullptr;
};

TdsTable keyed(const QString& schema, const QString& name, const QStringList& key, const QString& type = "TABLE")
{
    TdsTable table = textTable(schema, name, {});
    table.primaryKey = key;
    table.type = type;
    return table;
}

} // namespace

TEST(FreeTdsServerFeatures, DatabasesAreListedAndRefusedAsSqlServerDoes)
{
    TdsServer::Options options = test::serving({});
    options.databases
        << test::TdsDatabase{.name = "Snap", .tables = {textTable("dbo", "S", {"s1"})}, .allowsSnapshot = true}
        << test::TdsDatabase{.name = "Archive", .tables = {}, .online = false}
        << test::TdsDatabase{.name = "Secret", .tables = {textTable("dbo", "T", {})}, .accessible = false};
    TdsServer server(options.addSystemDatabases());
    Statement statement(server), other(server);
    EXPECT_EQ(statement.run("SELECT name, state_desc, HAS_DBACCESS(name), snapshot_isolation_state FROM sys.databases "
                            "ORDER BY name"),
              "exec ok | rows Archive,OFFLINE,0,0 dbname,ONLINE,1,0 master,ONLINE,1,0 model,ONLINE,1,0 msdb,ONLINE,1,0 "
              "Secret,ONLINE,0,0 Snap,ONLINE,1,1 tempdb,ONLINE,1,0 | more no data");
    EXPECT_EQ(statement.run("USE [Archive]"), "exec error 942 | more no data");
    EXPECT_EQ(statement.run("USE [Secret]"), "exec error 916 | more no data");
    EXPECT_EQ(statement.run("SELECT * FROM [Secret].[dbo].[T]"), "exec error 916 | more no data");
    EXPECT_EQ(statement.run("USE [Snap];SELECT * FROM [dbo].[S]"), "exec info 5701 | more ok | rows s1 | more no data");
    other.run("USE [master]");
    EXPECT_EQ(server.sessionSettings().at(0).database, "Snap");
    EXPECT_EQ(server.sessionSettings().at(1).database, "master");
    for (const QString database : {"Archive", "Secret", "Nowhere"}) {
        try {
            Statement refused(server, database);
            ADD_FAILURE() << database.toStdString();
        } catch (const platform::odbc::OdbcError& error) {
            EXPECT_TRUE(error.description().contains("Cannot open database \"" + database)); // ERROR 4060
        }
    }
}

TEST(FreeTdsServerFeatures, ALockedTableWaitsForTheLockUnlessTheIsolationLevelReadsPastIt)
{
    const char* const unlocked = "exec ok | rows a1 | more ok | rows l1 | more ok | rows b1 | more no data";
    const char* const timedOut = "exec ok | rows a1 | more error 1222 | more ok | rows b1 | more no data";
    const struct {
        const char* settings;
        bool allowsSnapshot;
        TdsIsolation isolation;
        int lockTimeoutMs;
        const char* trace;
    } rows[] = {
        {"SET TRANSACTION ISOLATION LEVEL READ UNCOMMITTED", false, TdsIsolation::ReadUncommitted, -1, unlocked},
        {"SET TRANSACTION ISOLATION LEVEL SNAPSHOT", true, TdsIsolation::Snapshot, -1, unlocked},
        {"SET TRANSACTION ISOLATION LEVEL SNAPSHOT", false, TdsIsolation::Snapshot, -1,
         "exec error 3952 | more no data"}, // every table: its first statement fails
        {"SET LOCK_TIMEOUT 0;SET TRANSACTION ISOLATION LEVEL READ COMMITTED", false, TdsIsolation::ReadCommitted, 0,
         timedOut},
        {"SET LOCK_TIMEOUT 50;SET TRANSACTION ISOLATION LEVEL repeatable read", false, TdsIsolation::RepeatableRead, 50,
         timedOut},
        // No time-out: the lock is waited for until the driver gives up on the query and sends attention.
        {"SET TRANSACTION ISOLATION LEVEL SERIALIZABLE", false, TdsIsolation::Serializable, -1,
         "exec ok | rows a1 | more error HYT00 HY008 | more no data"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.settings);
        TdsTable locked = textTable("dbo", "L", {"l1"});
        locked.locked = true;
        TdsServer::Options options =
            test::serving({textTable("dbo", "A", {"a1"}), locked, textTable("dbo", "B", {"b1"})});
        options.databases[0].allowsSnapshot = row.allowsSnapshot;
        TdsServer server(options);
        Statement statement(server);
        EXPECT_EQ(statement.run(row.settings), "exec no data");
        EXPECT_EQ(server.sessionSettings().at(0).isolation, row.isolation);
        EXPECT_EQ(server.sessionSettings().at(0).lockTimeoutMs, row.lockTimeoutMs);
        EXPECT_EQ(statement.run("SELECT * FROM [dbo].[A];SELECT * FROM [dbo].[L];SELECT * FROM [dbo].[B]"), row.trace);
    }
}

TEST(FreeTdsServerFeatures, AStatementThatFailsEndsItselfOrTheBatchAsSqlServerMarksIt)
{
    const struct {
        TdsFailure failure;
        const char* trace;
        const char* failingFirst; // SQLExecDirect fails: the driver manager asks for no further result
    } rows[] = {
        {TdsFailure::PermissionDenied, "exec ok | rows a1 | more error 229 | more ok | rows b1 | more no data",
         "exec error 229 | more no data"},
        {TdsFailure::Dropped, "exec ok | rows a1 | more error 208 | more no data", "exec error 208 | more no data"},
        {TdsFailure::Conversion, "exec ok | rows a1 | more ok | rows f1 | fetch error 245 | more no data",
         "exec ok | rows f1 | fetch error 245 | more no data"},
        {TdsFailure::DataMovement, "exec ok | rows a1 | more ok | rows f1 | fetch error 601 | more no data",
         "exec ok | rows f1 | fetch error 601 | more no data"},
    };
    for (const auto& row : rows) {
        TdsTable failing = textTable("dbo", "F", {"f1", "f2"});
        failing.failure = row.failure;
        failing.failAfterRows = 1;
        TdsServer server(test::serving({textTable("dbo", "A", {"a1"}), failing, textTable("dbo", "B", {"b1"})}));
        Statement statement(server);
        EXPECT_EQ(statement.run("SELECT * FROM [dbo].[A];SELECT * FROM [dbo].[F];SELECT * FROM [dbo].[B]"), row.trace);
        EXPECT_EQ(statement.run("SELECT * FROM [dbo].[F];SELECT * FROM [dbo].[B]"), row.failingFirst);
        EXPECT_EQ(statement.run("SELECT * FROM [dbo].[B]"), "exec ok | rows b1 | more no data"); // the close discarded
    }
}

TEST(FreeTdsServerFeatures, ManyStatementsAndTheKeysOfEveryTableTakeOneRequestEach)
{
    QList<TdsTable> tables{keyed("Sales", "Lines", {"OrderId", "Line"}), keyed("dbo", "View", {"Id"}, "VIEW"),
                           keyed("dbo", "Customers", {"Id"})};
    QStringList selects, results;
    for (int i = 0; i < 100; ++i) {
        const QString name = QStringLiteral("T%1").arg(i);
        tables << textTable("dbo", name, i % 3 ? QStringList{name} : QStringList{}); // every third one empty
        selects << QStringLiteral("SELECT * FROM [dbo].[%1]").arg(name);
        results << (i % 3 ? "rows " + name : "rows");
    }
    TdsServer server(test::serving(tables));
    Statement statement(server);
    EXPECT_EQ(statement.run("SET TEXTSIZE 2147483647;SET LOCK_TIMEOUT 10000;SET TRANSACTION ISOLATION LEVEL READ "
                            "COMMITTED"),
              "exec no data");
    EXPECT_EQ(server.sessionSettings().at(0).textSize, 2147483647);
    EXPECT_EQ(statement.run(selects.join(u';')),
              ("exec ok | " + results.join(" | more ok | ") + " | more no data").toStdString());
    EXPECT_EQ(statement.run("SELECT SCHEMA_NAME(t.schema_id), t.name, c.name, ic.key_ordinal FROM sys.tables AS t JOIN "
                            "sys.indexes AS i ON i.object_id = t.object_id AND i.is_primary_key = 1 JOIN "
                            "sys.index_columns AS ic ON ic.object_id = i.object_id AND ic.index_id = i.index_id JOIN "
                            "sys.columns AS c ON c.object_id = ic.object_id AND c.column_id = ic.column_id ORDER BY 1, "
                            "2, 4"),
              "exec ok | rows dbo,Customers,Id,1 Sales,Lines,OrderId,1 Sales,Lines,Line,2 | more no data");
    EXPECT_EQ(server.requests(), 3);
}

TEST(FreeTdsServerFeatures, ARoundTripHoldsEachAnswer)
{
    TdsServer::Options options = test::serving({textTable("dbo", "A", {"a1"})});
    options.roundTripMs = 1100; // longer than the driver waits for a query
    TdsServer server(options);
    EXPECT_EQ(Statement(server).run("SELECT * FROM [dbo].[A]"), "exec error HYT00 HY008 | more no data");
    EXPECT_EQ(server.requests(), 1);
}
