#pragma once

#include "logic/scan/BatchChannel.h"
#include "logic/scan/ScanControl.h"
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

// The reading thread's whole work: opens its own connection, lists the tables, sends what the choice makes
// of them as the first batch (`listing`), then every row of every table chosen, in whole-row batches. A
// table that cannot be read is passed over (its batch names the failure); a failure to connect or list, or
// a connection lost part way, throws. Stops between rows once `control` says so.
void readTables(const QString& connectionString, const TableChoice& choice, ScanControl& control, BatchChannel& channel,
                const std::function<void()>& wake);

} // namespace rq
