#pragma once

#include "logic/scan/ScanBatch.h"
#include "logic/scan/ScanControl.h"
#include "logic/scan/TableChoice.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace rq {

namespace platform::odbc {
class Connection;
}

// Hands batches from the reading thread to the thread that consumes them, in order. The reader waits while
// many are waiting, so memory stays bounded; once the consumer has gone (closed), nothing waits any more
// and further batches are dropped.
class BatchChannel {
public:
    void send(ScanBatch&& batch, const std::function<void()>& wake);
    std::deque<ScanBatch> takeAll();
    void close();

private:
    std::mutex mutex_;
    std::condition_variable taken_;
    std::deque<ScanBatch> batches_;
    bool closed_ = false;
};

// Opens the reading thread's connection with the login time-out, and tells `control` once it is open.
void openForReading(platform::odbc::Connection& connection, const QString& connectionString, ScanControl& control);

// The driver's list of every table-like object, in its order.
QList<ListedTable> listTables(platform::odbc::Connection& connection, ScanControl& control);

// The reading thread's whole work: opens its own connection, lists the tables, sends what the choice makes
// of them as the first batch (`listing`), then every row of every table chosen, in whole-row batches. A
// table that cannot be read is passed over (its batch names the failure); a failure to connect or list, or
// a connection lost part way, throws. Stops between rows once `control` says so.
void readDatabase(const QString& connectionString, const TableChoice& choice, ScanControl& control,
                  BatchChannel& channel, const std::function<void()>& wake);

} // namespace rq
