#include "DatabaseRead.h"

#include "logic/scan/DatabaseScan.h"
#include "logic/scan/ScanText.h"
#include "platform/Failure.h"

namespace rq::cli {

QString cannotOpen(const ConnectionFields& fields)
{
    return QStringLiteral("cannot open database '%1' on '%2'").arg(fields.database, serverValue(fields));
}

DatabaseRead readDatabase(const ConnectionFields& fields, const ConnectionSecurity& security, const TableChoice& choice,
                          const TextPiece& piece, const std::function<void(const ScanCounts&)>& progress)
{
    DatabaseRead read;
    ScanText appender;
    bool tableReached = false;
    ScanHooks hooks;
    // What the pieces' consumer throws (standard output closed, say) is its own failure, not the database's.
    struct ConsumerFailure {
        std::exception_ptr failure;
    };
    hooks.batch = [&](ScanBatch& batch) {
        tableReached = tableReached || batch.table;
        QString text;
        TextOrigins origins;
        appender.append(batch, text, origins);
        try {
            piece(text, origins);
        } catch (...) {
            throw ConsumerFailure{std::current_exception()};
        }
    };
    hooks.progress = [&](const ScanCounts& counts) {
        read.counts = counts;
        progress(counts);
    };
    // No window to keep alive; Ctrl-C ends the program from its signal handler.
    hooks.yield = [] { return false; };
    try {
        const auto control = std::make_shared<ScanControl>();
        read.incomplete = scanInBatches(scanConnectionString(fields, security), choice, *control, hooks).report();
    } catch (const ConsumerFailure& consumer) {
        std::rethrow_exception(consumer.failure);
    } catch (...) {
        if (!tableReached)
            throw Failure(cannotOpen(fields) + QLatin1String(": ") + describeCurrentException());
        read.incomplete = QStringLiteral("cannot read database '%1' on '%2': %3")
                              .arg(fields.database, serverValue(fields), describeCurrentException());
        read.end = ScanEnd::Failed;
    }
    return read;
}

} // namespace rq::cli
