#pragma once

#include "logic/scan/TableChoice.h"

#include <QList>
#include <QString>
#include <functional>

namespace rq {

// How long a server has to list its tables once the connection is open: a catalogue of tens of thousands of
// tables takes a few seconds; a server that says nothing for this long is not going to.
inline constexpr int kListingSeconds = 30;

// The user gave up waiting for the list.
struct ListingCancelled {};

// Every table the database lists, read on a thread of its own while `whileWaiting` runs. Gives up at the login
// deadline, `listingSeconds` after the connection opened (a failure that says so), or as soon as `cancelled`
// answers true (ListingCancelled); the driver is then told to cancel where it can, and the thread is left to
// finish on its own. Throws what the driver threw.
QList<ListedTable> listDatabaseTables(const QString& connectionString, const std::function<void()>& whileWaiting,
                                      const std::function<bool()>& cancelled = {},
                                      int listingSeconds = kListingSeconds);

} // namespace rq
