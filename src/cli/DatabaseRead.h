#pragma once

#include "logic/connection/ConnectionString.h"
#include "logic/scan/ScanCounts.h"
#include "logic/scan/ScanPlan.h"
#include "logic/text/TextBlock.h"

#include <QString>
#include <functional>

namespace rq::cli {

struct DatabaseRead {
    // Why what was searched is not the whole database (tables passed over, or a connection lost part way);
    // empty when every table was read.
    QString incomplete;
    ScanCounts counts;
    ScanEnd end = ScanEnd::Complete; // Failed when the connection was lost part way
};

// A stretch of the database text, whole rows of one table, with where each of its fields came from.
using TextPiece = std::function<void(const TextBlock& block)>;

// The command line's only call to the scan. Each batch of whole rows is handed to `piece` as it arrives and
// forgotten once it returns, so memory does not grow with the database; `progress` gets the counts many times
// a second. Once `enough` answers true after a batch, the read ends (as a stop does). Throws a Failure naming
// what failed, with the driver's message, when the database cannot be opened or its tables listed.
DatabaseRead readDatabase(
    const ScanPlan& plan, const TextPiece& piece, const std::function<void(const ScanCounts&)>& progress,
    const std::function<bool()>& enough = [] { return false; });

// "cannot open database 'Shop' on 'db,1433'"
QString cannotOpen(const ConnectionFields& fields);

} // namespace rq::cli
