#include "DatabaseScan.h"

#include "logic/connection/OpenConnection.h"
#include "logic/scan/ScanReader.h"
#include "logic/scan/ScanText.h"
#include "platform/Failure.h"
#include "platform/Odbc.h"
#include "platform/OdbcDrivers.h"
#include "platform/OffThread.h"

#include <QElapsedTimer>

namespace rq {

namespace {

// After a stop, how long the reading thread has to wind down before it is left to finish on its own.
constexpr qint64 kStopGraceMs = 500;
// How often the counts are shown while a scan runs.
constexpr qint64 kProgressMs = 250;

} // namespace

QString indexingStatus(const QString& tableName)
{
    return QLatin1String("Indexing ") + tableName.toUpper() + QLatin1String(" to be searched. Please wait...");
}

QString ScanOutcome::report() const
{
    if (passedOver.isEmpty())
        return {};
    return QStringLiteral("%1 could not be read and %2 passed over: %3. %4")
        .arg(passedOver.size() == 1 ? QStringLiteral("A table") : QStringLiteral("%1 tables").arg(passedOver.size()),
             passedOver.size() == 1 ? QStringLiteral("was") : QStringLiteral("were"),
             passedOver.join(QLatin1String(", ")), firstFailure);
}

QString scanConnectionString(const ConnectionFields& fields, const ConnectionSecurity& security)
{
    const platform::SqlServerDriver driver = platform::registeredSqlServerDriver();
    QString text = connectionString(fields, driver, security);
    // FreeTDS asks for 4 KB packets; a long result then costs a receive call every 4 KB.
    if (driver.kind == platform::SqlServerDriver::FreeTds)
        text += QLatin1String("PacketSize=32767;");
    return text;
}

ScanOutcome scanInBatches(const QString& connectionString, const TableChoice& choice, ScanControl& control,
                          const ScanHooks& hooks)
{
    auto channel = std::make_shared<BatchChannel>();
    // However this ends, a reading thread still at work never waits on a consumer that has gone.
    struct Closing {
        BatchChannel& channel;
        ~Closing() { channel.close(); }
    } closing{*channel};

    ScanOutcome outcome;
    ScanCounts& counts = outcome.counts;
    QElapsedTimer clock;
    clock.start();
    QElapsedTimer sinceProgress; // not started: the counts show at once
    const auto progress = [&](bool now) {
        counts.milliseconds = clock.elapsed();
        if (now || !sinceProgress.isValid() || sinceProgress.elapsed() >= kProgressMs) {
            hooks.progress(counts);
            sinceProgress.start();
        }
    };
    QString current;
    const auto consume = [&] {
        for (ScanBatch& batch : channel->takeAll()) {
            if (batch.listing) {
                for (const TableDecision& decision : *batch.listing)
                    ++(decision.read() ? counts.tables : counts.leftOut);
                continue;
            }
            if (batch.table) {
                current = batch.table->table.qualified();
                counts.table = current;
                ++counts.tablesBegun;
                sinceProgress.invalidate(); // a new table shows at once
            }
            counts.rows += qint64(batch.rowStarts.size());
            counts.units += batch.text.size();
            if (!batch.failure.isEmpty()) {
                ++counts.tablesFailed;
                if (outcome.passedOver.isEmpty())
                    outcome.firstFailure = batch.failure;
                outcome.passedOver.append(current);
            }
            hooks.batch(batch);
        }
    };

    const LoginDeadline deadline;
    std::shared_ptr<ScanControl> reading = control.shared_from_this();
    try {
        platform::OffThread::run(
            [channel, reading, connectionString, choice](const std::function<void()>& wake) {
                readTables(connectionString, choice, *reading, *channel, wake);
            },
            [&] {
                hooks.yield(); // first, so that a command run here sees the text as it stood before this batch
                consume();
                progress(false);
            },
            [&] { return (!control.opened() && deadline.passed()) || control.sinceStop() > kStopGraceMs; });
    } catch (const platform::AbandonedWork&) {
        if (!control.stopRequested()) {
            control.stop();
            progress(true);
            throw LoginDeadline::failure();
        }
        consume(); // the whole rows handed over before the reader was left to itself
    } catch (...) {
        if (control.stopRequested()) { // a statement cancelled by the stop, while listing or opening: no failure
            consume();
            outcome.stopped = true;
            progress(true);
            return outcome;
        }
        control.stop(); // the reader may still be at work: it is told to end
        progress(true);
        throw;
    }
    outcome.stopped = control.stopRequested();
    progress(true);
    return outcome;
}

ScanOutcome ScanDatabase(const ConnectionFields& fields, QString& text, TextOrigins& origins, const StatusLine& status,
                         const std::function<bool()>& yield)
{
    ScanText appender;
    ScanHooks hooks;
    hooks.batch = [&](ScanBatch& batch) {
        if (batch.table)
            status(indexingStatus(batch.table->table.name));
        appender.append(batch, text, origins);
    };
    hooks.progress = [](const ScanCounts&) {};
    hooks.yield = yield;
    const auto control = std::make_shared<ScanControl>();
    return scanInBatches(scanConnectionString(fields), TableChoice{}, *control, hooks);
}

QList<ListedTable> listDatabaseTables(const QString& connectionString, const std::function<void()>& whileWaiting)
{
    auto listed = std::make_shared<QList<ListedTable>>();
    auto control = std::make_shared<ScanControl>();
    const LoginDeadline deadline;
    try {
        platform::OffThread::run(
            [listed, control, connectionString](const std::function<void()>&) {
                platform::odbc::Connection connection;
                openForReading(connection, connectionString, *control);
                *listed = listTables(connection, *control);
            },
            whileWaiting, [&] { return !control->opened() && deadline.passed(); });
    } catch (const platform::AbandonedWork&) {
        throw LoginDeadline::failure();
    }
    return *listed;
}

} // namespace rq
