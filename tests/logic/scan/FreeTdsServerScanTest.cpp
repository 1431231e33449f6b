// A whole server read through the real FreeTDS driver: several databases, each over a connection of its own and
// named wherever an item says where it was found; locks, isolation levels and snapshot; and tables read in
// batches of statements, a failing one costing no other table its rows.
#include "logic/results/ResultFormats.h"
#include "logic/scan/DatabaseScan.h"
#include "logic/scan/ScanText.h"
#include "logic/text/SqlText.h"
#include "support/TdsServing.h"

#include <gtest/gtest.h>

using namespace rq;
using test::TdsColumn;
using test::TdsDatabase;
using test::TdsFailure;
using test::TdsIsolation;
using test::TdsServer;
using test::TdsTable;
using test::TdsType;
using test::TdsValue;
using test::textTable;

namespace {

// A table of one key column and one text column: (42, "acme in sales").
TdsTable customers(qint64 id, const QString& notes)
{
    TdsTable table;
    table.name = QStringLiteral("Customers");
    table.columns = {{QStringLiteral("CustomerID"), TdsType::Int}, {QStringLiteral("Notes"), TdsType::NVarChar, 100}};
    table.rows = {{QVariant(id), QVariant(notes)}};
    table.primaryKey = {QStringLiteral("CustomerID")};
    return table;
}

TdsServer::Options server(QList<TdsDatabase> databases)
{
    TdsServer::Options options = test::serving({});
    options.databases = std::move(databases);
    return options;
}

// What a scan of `plan` gathered, as the window keeps it.
struct Read {
    QString text;
    TextOrigins origins;
    ScanOutcome outcome;

    explicit Read(const ScanPlan& plan)
    {
        WholeScanText appender;
        ScanHooks hooks;
        hooks.batch = [&](ScanBatch& batch) { appender.append(batch, text, origins); };
        hooks.progress = [](const ScanCounts&) {};
        hooks.yield = [] { return false; };
        const auto control = std::make_shared<ScanControl>();
        outcome = scanInBatches(plan, *control, hooks);
    }
    // Each field of the text that holds `word`, with where it was found.
    QStringList found(const QString& word) const
    {
        QStringList places;
        qsizetype start = 0;
        for (const QString& field : text.split(QLatin1Char('\r'))) {
            if (field.contains(word))
                places << field + " @ " + origins.at(text, start).description();
            start += field.size() + 1;
        }
        return places;
    }
};

ScanPlan planFor(const TdsServer& server, const QString& database)
{
    ConnectionFields fields = test::fieldsFor(server);
    fields.database = database;
    return ScanPlan::of(fields);
}

} // namespace

// Every database the login can open, SQL Server's own left out: the same table name in two databases is told
// apart in every output, and a database that cannot be opened is passed over and named.
TEST(FreeTdsServerScan, SeveralDatabasesAreReadEachNamedWhereItsItemsWereFound)
{
    TdsDatabase taken{QStringLiteral("Taken"), {textTable("dbo", "T", {"acme never"})}};
    taken.singleUserTaken = true;
    TdsDatabase secret{QStringLiteral("Secret"), {textTable("dbo", "T", {"acme secret"})}};
    secret.accessible = false;
    TdsServer::Options options = server({{QStringLiteral("Sales"), {customers(42, "acme in sales")}},
                                         {QStringLiteral("Archive"), {customers(7, "acme in archive")}},
                                         taken,
                                         secret});
    options.addSystemDatabases();
    options.databases[4].tables = {textTable("dbo", "T", {"acme in master"})}; // master
    TdsServer tds(options);
    ScanPlan plan = planFor(tds, "Sales");
    plan.databases.all = true;
    const Read read(plan);

    EXPECT_EQ(read.found("acme"), (QStringList{"acme in archive @ Archive.dbo.Customers.Notes, CustomerID 7",
                                               "acme in sales @ Sales.dbo.Customers.Notes, CustomerID 42"}));
    const Origin archive = read.origins.at(read.text, read.text.indexOf("acme in archive"));
    EXPECT_EQ(rowQuery(archive), "SELECT * FROM [Archive].[dbo].[Customers] WHERE [CustomerID] = 7");
    EXPECT_EQ(tsvLine(u"acme in archive", archive, -1, true), "acme in archive\tArchive\tdbo\tCustomers\tNotes\t"
                                                              "CustomerID 7\t\n");
    EXPECT_TRUE(read.outcome.report().startsWith("A database could not be opened and was passed over: Taken ("))
        << read.outcome.report().toStdString();
    const ScanSummary summary{read.outcome.counts, ScanEnd::Complete, {}};
    EXPECT_TRUE(summary.text().startsWith("Read 2 of 3 databases (1 could not be opened, 5 left out), 2 tables, "))
        << summary.text().toStdString();

    // One database named as the connection names it: today's output, byte for byte.
    const Read one(planFor(tds, "Sales"));
    EXPECT_EQ(one.found("acme"), QStringList{"acme in sales @ dbo.Customers.Notes, CustomerID 42"});
    EXPECT_EQ(rowQuery(one.origins.at(one.text, 3)), "SELECT * FROM [dbo].[Customers] WHERE [CustomerID] = 42");
}

// A table another session keeps locked costs the lock time-out and is named; the isolation asked for reaches
// the server, and snapshot falls back to read committed where the database does not allow it.
TEST(FreeTdsServerScan, LocksAndIsolationLevelsReachTheServer)
{
    TdsTable locked = textTable("dbo", "Locked", {"acme locked"});
    locked.locked = true;
    TdsDatabase sales{QStringLiteral("Sales"), {locked, textTable("dbo", "Free", {"acme free"})}};
    TdsDatabase snap{QStringLiteral("Snap"), {locked}};
    snap.allowsSnapshot = true;
    TdsServer tds(server({sales, snap}));
    ScanPlan plan = planFor(tds, "Sales");
    plan.reading.lockTimeoutSeconds = 1;

    const Read committed(plan);
    EXPECT_EQ(committed.found("acme"), QStringList{"acme free @ dbo.Free.Value, row 1"});
    EXPECT_EQ(committed.outcome.report(),
              "A table could not be read and was passed over: dbo.Locked (locked by another session for more than 1 "
              "second).");
    plan.reading.isolation = IsolationLevel::Uncommitted;
    EXPECT_EQ(Read(plan).found("acme").size(), 2); // no lock taken, none waited for
    plan.reading.isolation = IsolationLevel::Snapshot;
    const Read notAllowed(plan);
    EXPECT_EQ(notAllowed.outcome.report(),
              "A table could not be read and was passed over: dbo.Locked (locked by another session for more than 1 "
              "second). Sales does not allow snapshot isolation: it was read committed.");
    ScanPlan snapPlan = planFor(tds, "Snap");
    snapPlan.reading.lockTimeoutSeconds = 1;
    EXPECT_EQ(Read(snapPlan).outcome.report(), "A table could not be read and was passed over: dbo.Locked (locked by "
                                               "another session for more than 1 second).");
    snapPlan.reading.isolation = IsolationLevel::Snapshot;
    EXPECT_EQ(Read(snapPlan).found("acme").size(), 1); // the database allows it: no lock waited for

    QList<TdsIsolation> isolations;
    for (const TdsServer::SessionSettings& session : tds.sessionSettings())
        if (session.lockTimeoutMs != -1) // the sessions that read, not those that asked the catalogue
            isolations << session.isolation;
    EXPECT_EQ(isolations,
              (QList<TdsIsolation>{TdsIsolation::ReadCommitted, TdsIsolation::ReadUncommitted,
                                   TdsIsolation::ReadCommitted, TdsIsolation::ReadCommitted, TdsIsolation::Snapshot}));
}

// A few hundred tables cost a few requests, and a table that fails inside a batch, whether its error ends only
// its statement or the whole batch, costs no other table its rows: the items come in the tables' order.
TEST(FreeTdsServerScan, TablesAreReadInBatchesAndAFailureCostsNoOtherTable)
{
    QList<TdsTable> tables;
    QStringList expected;
    for (int t = 0; t < 300; ++t) {
        const QString name = QStringLiteral("t%1").arg(t, 3, 10, QLatin1Char('0'));
        QStringList values;
        for (int r = 0; r < (t % 3 == 2 ? 0 : 20); ++r)
            values << QStringLiteral("acme %1 %2").arg(name).arg(r);
        TdsTable table = textTable("dbo", name, values);
        table.primaryKey = {QStringLiteral("Value")};
        if (t == 0 || t == 50)
            table.failure = TdsFailure::PermissionDenied; // the first of a batch, and one inside it
        else if (t == 120)
            table.failure = TdsFailure::Dropped; // ends its batch
        else if (t == 150) {
            table.failure = TdsFailure::Conversion; // ends its batch, after some rows
            table.failAfterRows = 5;
        }
        if (table.failure == TdsFailure::None || t == 150)
            for (int r = 0; r < (t == 150 ? 5 : values.size()); ++r)
                expected << values[r];
        tables.append(table);
    }
    TdsServer tds(test::serving(tables));
    ScanPlan plan = ScanPlan::of(test::fieldsFor(tds));
    plan.needsKeys = false;
    const Read read(plan);
    QStringList found;
    for (const QString& field : read.text.split(QLatin1Char('\r')))
        if (field.startsWith("acme"))
            found << field;
    EXPECT_EQ(found.size(), expected.size());
    for (qsizetype i = 0; i < std::min(found.size(), expected.size()); ++i)
        if (found[i] != expected[i]) {
            ADD_FAILURE() << "first difference at " << i << ": " << found[i].toStdString() << " vs "
                          << expected[i].toStdString();
            break;
        }

    EXPECT_EQ(read.outcome.passedOver, (QStringList{"dbo.t000", "dbo.t050", "dbo.t120", "dbo.t150"}));
    // The session's set-up, the listing, then a few batches: far from a request per table.
    EXPECT_LE(tds.requests(), 10);

    const int before = tds.requests();
    plan.needsKeys = true; // keys for all the tables in one more request
    const Read keyed(plan);
    EXPECT_EQ(keyed.origins.at(keyed.text, 0).rowName(), "Value acme t001 0");
    EXPECT_LE(tds.requests() - before, 11);
}
