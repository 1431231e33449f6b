#include "DatabaseRead.h"

#include "logic/scan/DatabaseScan.h"
#include "logic/scan/ScanText.h"
#include "platform/Failure.h"

#include <limits>

namespace rq::cli {

QString cannotOpen(const ConnectionFields& fields)
{
    return QStringLiteral("cannot open database '%1' on '%2'").arg(fields.database, serverValue(fields));
}

DatabaseRead readDatabase(const ScanPlan& plan, const TextPiece& piece,
                          const std::function<void(const ScanCounts&)>& progress, const std::function<bool()>& enough)
{
    DatabaseRead read;
    const auto control = std::make_shared<ScanControl>();
    ScanText appender(std::numeric_limits<qsizetype>::max());
    bool tableReached = false;
    ScanHooks hooks;
    // What the pieces' consumer throws (standard output closed, say) is its own failure, not the database's.
    struct ConsumerFailure {
        std::exception_ptr failure;
    };
    hooks.batch = [&](ScanBatch& batch) {
        tableReached = tableReached || batch.table;
        const auto search = [&](const TextBlockPtr& block) {
            try {
                piece(*block);
            } catch (...) {
                throw ConsumerFailure{std::current_exception()};
            }
        };
        appender.append(batch, search);
        appender.seal(search); // every batch is searched as it arrives, then let go
        if (enough())
            control->stop();
    };
    hooks.progress = [&](const ScanCounts& counts) {
        read.counts = counts;
        progress(counts);
    };
    // No window to keep alive; Ctrl-C ends the program from its signal handler.
    hooks.yield = [] { return false; };
    try {
        const ScanOutcome outcome = scanInBatches(plan, *control, hooks);
        read.incomplete = outcome.report();
        if (outcome.stopped)
            read.end = ScanEnd::Stopped;
    } catch (const ConsumerFailure& consumer) {
        std::rethrow_exception(consumer.failure);
    } catch (...) {
        if (!tableReached)
            throw Failure(cannotOpen(plan.fields) + QLatin1String(": ") + describeCurrentException());
        read.incomplete = QStringLiteral("cannot read database '%1' on '%2': %3")
                              .arg(plan.fields.database, serverValue(plan.fields), describeCurrentException());
        read.end = ScanEnd::Failed;
    }
    return read;
}

} // namespace rq::cli
