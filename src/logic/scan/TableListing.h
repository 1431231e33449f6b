#pragma once

#include "logic/scan/DatabaseChoice.h"
#include "logic/scan/ScanPlan.h"
#include "logic/scan/TableChoice.h"

#include <QList>
#include <QString>
#include <functional>

namespace rq {

// How long a server has to list a database's tables (or its databases) once the connection is open: a
// catalogue of tens of thousands of tables takes a few seconds; a server that says nothing for this long is
// not going to.
inline constexpr int kListingSeconds = 30;

// The user gave up waiting for the list.
struct ListingCancelled {};

// A database of the server with what the plan makes of it and, where they were listed, its tables.
struct ListedDatabase {
    DatabaseDecision decision;
    QList<TableDecision> tables;
    bool tablesListed = false;
    QString failure; // it could not be opened to list its tables: the driver's message
};

enum class Listing {
    Databases,    // the databases alone
    ChosenTables, // the tables of each database the plan reads
    AllTables,    // the tables of every database the login can open
};

// What the server holds, listed on threads of their own while `whileWaiting` runs: where the plan reads the
// connection's database alone, that database; otherwise every database of the server (a driver of one
// database has the one). Each database is listed over a connection of its own; one that cannot be opened is
// named with the driver's message, the others are listed. Gives up at the login deadline, when a step has
// not ended `listingSeconds` after the last one did (a failure that says so), or as soon as `cancelled`
// answers true (ListingCancelled); the driver is then told to cancel where it can, and the thread is left to
// finish on its own. A failure to open the connection's database throws what the driver threw.
QList<ListedDatabase> listServer(const ScanPlan& plan, Listing which, const std::function<void()>& whileWaiting,
                                 const std::function<bool()>& cancelled = {}, int listingSeconds = kListingSeconds);

} // namespace rq
