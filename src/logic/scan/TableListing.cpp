#include "TableListing.h"

#include "logic/connection/OpenConnection.h"
#include "logic/frame/Figures.h"
#include "logic/scan/ScanControl.h"
#include "logic/scan/ScanReader.h"
#include "platform/Odbc.h"
#include "platform/OffThread.h"

#include <QElapsedTimer>
#include <atomic>
#include <memory>

namespace rq {

namespace {

// Lists one database's tables over a connection of its own.
QList<TableDecision> tablesOf(const ScanPlan& plan, const QString& database, ScanControl& control)
{
    platform::odbc::Connection connection;
    openForReading(connection, plan.connectionString(database), control);
    const ConnectionInUse inUse(control, connection);
    if (connection.dbmsName().contains(QLatin1String("SQL Server")))
        control.allowCancel(); // the SQLite driver would free the result under the fetch
    QList<ListedTable> listed = listTables(connection, control);
    for (ListedTable& entry : listed)
        entry.table.database = database;
    return decideTables(listed, plan.tablesOf(database));
}

// The whole listing, on the listing thread; `steps` counts what is done, so the waiting side can tell a slow
// server from a silent one.
QList<ListedDatabase> listOnThisThread(const ScanPlan& plan, Listing which, ScanControl& control,
                                       std::atomic<int>& steps)
{
    QList<ListedDatabase> result;
    const bool several = plan.databases.several() || which != Listing::ChosenTables;
    if (!several) {
        result.append({{ServerDatabase{plan.fields.database}, DatabaseDecision::Read}, {}, false, {}});
    } else {
        platform::odbc::Connection catalogue;
        openForReading(catalogue, plan.connectionString(plan.fields.database), control);
        const ConnectionInUse inUse(control, catalogue);
        if (catalogue.dbmsName().contains(QLatin1String("SQL Server")))
            control.allowCancel();
        const QList<ServerDatabase> databases = listDatabases(catalogue, control, plan.fields.database);
        for (const DatabaseDecision& decision : decideDatabases(databases, plan.databases, plan.fields.database))
            result.append({decision, {}, false, {}});
    }
    ++steps;
    if (which == Listing::Databases)
        return result;
    for (ListedDatabase& database : result) {
        const ServerDatabase& server = database.decision.database;
        const bool wanted = which == Listing::AllTables ? server.accessible && server.online : database.decision.read();
        if (!wanted || control.stopRequested())
            continue;
        try {
            database.tables = tablesOf(plan, server.name, control);
            database.tablesListed = true;
        } catch (const Failure& failure) {
            if (!several)
                throw; // the connection's own database: as the scan would, the listing fails
            database.failure = failure.description();
        }
        ++steps;
    }
    return result;
}

} // namespace

QList<ListedDatabase> listServer(const ScanPlan& plan, Listing which, const std::function<void()>& whileWaiting,
                                 const std::function<bool()>& cancelled, int listingSeconds)
{
    auto listed = std::make_shared<QList<ListedDatabase>>();
    auto control = std::make_shared<ScanControl>();
    auto steps = std::make_shared<std::atomic<int>>(0);
    const LoginDeadline login;
    QElapsedTimer sinceStep; // started once the first connection is seen open, and again at every step
    int stepsSeen = 0;
    bool userGaveUp = false;
    const auto giveUp = [&] {
        if (cancelled && cancelled()) {
            userGaveUp = true;
            return true;
        }
        if (!control->opened())
            return login.passed();
        if (!sinceStep.isValid() || *steps != stepsSeen) {
            sinceStep.start();
            stepsSeen = *steps;
        }
        return sinceStep.elapsed() > qint64(listingSeconds) * 1000;
    };
    try {
        platform::OffThread::run(
            [listed, control, steps, plan, which](const std::function<void()>&) {
                *listed = listOnThisThread(plan, which, *control, *steps);
            },
            whileWaiting, giveUp);
    } catch (const platform::AbandonedWork&) {
        control->stop(); // a server still listing is told to stop
        if (userGaveUp)
            throw ListingCancelled{};
        if (!control->opened())
            throw LoginDeadline::failure();
        throw Failure(QStringLiteral("The server did not list the tables within %1.")
                          .arg(plural(listingSeconds, "second", "seconds")));
    }
    return *listed;
}

} // namespace rq
