#include "DatabaseRead.h"

#include "logic/DatabaseScan.h"
#include "platform/Failure.h"

namespace rq::cli {

DatabaseRead readDatabase(const ConnectionFields& fields, const std::function<void(const QString&)>& progress)
{
    DatabaseRead read;
    bool tableReached = false;
    try {
        const ScanOutcome outcome = ScanDatabase(
            fields, read.text, read.origins,
            [&](const QString& status) {
                tableReached = true;
                progress(status);
            },
            [] { return false; }); // no window to keep alive; Ctrl-C ends the program from its signal handler
        read.incomplete = outcome.report();
    } catch (...) {
        const QString what = tableReached ? QStringLiteral("cannot read database '%1' on '%2'")
                                          : QStringLiteral("cannot open database '%1' on '%2'");
        const QString failure =
            what.arg(fields.database, serverValue(fields)) + QLatin1String(": ") + describeCurrentException();
        if (!tableReached)
            throw Failure(failure);
        read.incomplete = failure;
    }
    return read;
}

} // namespace rq::cli
