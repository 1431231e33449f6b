#pragma once

#include "logic/scan/BatchChannel.h"
#include "logic/scan/ScanControl.h"
#include "logic/scan/ScanPlan.h"
#include "logic/scan/TableChoice.h"

#include <functional>

namespace rq {

namespace platform::odbc {
class Connection;
}

// Opens the reading thread's connection with the login time-out, and tells `control` once it is open.
void openForReading(platform::odbc::Connection& connection, const QString& connectionString, ScanControl& control);

// The driver's list of every table-like object, in its order.
QList<ListedTable> listTables(platform::odbc::Connection& connection, ScanControl& control);

// The server's databases as its catalogue lists them; a driver of one database (SQLite) lists `connected` alone.
QList<ServerDatabase> listDatabases(platform::odbc::Connection& connection, ScanControl& control,
                                    const QString& connected);

// The reading thread's whole work. Where several databases may be read, lists the server's databases and
// sends what the choice makes of them first (`databases`); then reads each database over a connection of its
// own: sends it (`database`) with what the table choice makes of its tables (`listing`), then every row of
// every table chosen, in whole-row batches. A table that cannot be read is passed over (its batch names the
// failure), and so is a database that cannot be opened where several are read; a failure to connect to the
// only database or to list, or a connection lost part way, throws. Stops between rows once `control` says so.
void readServer(const ScanPlan& plan, ScanControl& control, BatchChannel& channel, const std::function<void()>& wake);

} // namespace rq
