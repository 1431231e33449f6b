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

namespace {

void beginDatabase(const DatabaseStart& database, ScanOutcome& outcome)
{
    ScanCounts& counts = outcome.counts;
    counts.databases = std::max(counts.databases, database.count);
    counts.severalDatabases = counts.severalDatabases || database.named;
    ++counts.databasesBegun;
    counts.database = database.named ? database.name : QString();
    counts.tablesInDatabase = 0;
    counts.tablesBegunInDatabase = 0;
    if (!database.failure.isEmpty()) {
        ++counts.databasesFailed;
        outcome.databasesPassedOver << database.name + QLatin1String(" (") + database.failure + QLatin1Char(')');
    }
    if (!database.note.isEmpty())
        outcome.notes << database.note;
}

void passOver(const QString& table, const QString& failure, ScanOutcome& outcome)
{
    ++outcome.counts.tablesFailed;
    outcome.passedOverWhy.append(table + QLatin1String(": ") + failure);
    // A lock is named with its table; the first other failure gives the driver's words for all.
    if (failure.startsWith(QLatin1String("locked by another session"))) {
        outcome.passedOver.append(table + QLatin1String(" (") + failure + QLatin1Char(')'));
        return;
    }
    if (outcome.firstFailure.isEmpty())
        outcome.firstFailure = failure;
    outcome.passedOver.append(table);
}

} // namespace

QString indexingStatus(const QString& tableName)
{
    return QLatin1String("Indexing ") + tableName.toUpper() + QLatin1String(" to be searched. Please wait...");
}

QString ScanOutcome::report() const
{
    QStringList sentences;
    if (!databasesPassedOver.isEmpty()) {
        sentences << QStringLiteral("%1 could not be opened and %2 passed over: %3.")
                         .arg(databasesPassedOver.size() == 1
                                  ? QStringLiteral("A database")
                                  : QStringLiteral("%1 databases").arg(databasesPassedOver.size()),
                              databasesPassedOver.size() == 1 ? QStringLiteral("was") : QStringLiteral("were"),
                              databasesPassedOver.join(QLatin1String("; ")));
    }
    if (!passedOver.isEmpty()) {
        QString tables = QStringLiteral("%1 could not be read and %2 passed over: %3.")
                             .arg(passedOver.size() == 1 ? QStringLiteral("A table")
                                                         : QStringLiteral("%1 tables").arg(passedOver.size()),
                                  passedOver.size() == 1 ? QStringLiteral("was") : QStringLiteral("were"),
                                  passedOver.join(QLatin1String(", ")));
        if (!firstFailure.isEmpty())
            tables += QLatin1Char(' ') + firstFailure;
        sentences << tables;
    }
    return (sentences + notes).join(QLatin1Char(' '));
}

ScanOutcome::Notice ScanOutcome::notice() const
{
    if (passedOver.isEmpty() && databasesPassedOver.isEmpty())
        return {};
    QStringList sentences;
    if (!databasesPassedOver.isEmpty()) {
        sentences << (databasesPassedOver.size() == 1
                          ? QStringLiteral("A database could not be opened and was passed over.")
                          : QStringLiteral("%1 databases could not be opened and were passed over.")
                                .arg(countText(databasesPassedOver.size())));
    }
    if (!passedOver.isEmpty()) {
        sentences << (passedOver.size() == 1 ? QStringLiteral("A table could not be read and was passed over.")
                                             : QStringLiteral("%1 tables could not be read and were passed over.")
                                                   .arg(countText(passedOver.size())));
    }
    sentences << QStringLiteral("Everything else was read and is searched.");
    Notice notice{(sentences + notes).join(QLatin1Char(' ')), {}};
    for (const QString& database : databasesPassedOver)
        notice.lines << QLatin1String("Database ") + database;
    notice.lines << passedOverWhy;
    return notice;
}

QString scanConnectionString(const ConnectionFields& fields, const ConnectionSecurity& security)
{
    ScanPlan plan = ScanPlan::of(fields);
    plan.security = security;
    return plan.connectionString(fields.database);
}

ScanOutcome scanInBatches(const ScanPlan& plan, ScanControl& control, const ScanHooks& hooks)
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
            if (batch.databases) {
                counts.severalDatabases = true;
                for (const DatabaseDecision& decision : *batch.databases)
                    ++(decision.read() ? counts.databases : counts.databasesLeftOut);
            }
            if (batch.database)
                beginDatabase(*batch.database, outcome);
            if (batch.listing) {
                counts.tablesInDatabase = 0;
                counts.tablesBegunInDatabase = 0;
                for (const TableDecision& decision : *batch.listing)
                    ++(decision.read() ? counts.tablesInDatabase : counts.leftOut);
                counts.tables += counts.tablesInDatabase;
            }
            if (batch.table) {
                current = batch.table->table.full();
                counts.table = batch.table->table.qualified();
                ++counts.tablesBegun;
                ++counts.tablesBegunInDatabase;
                sinceProgress.invalidate(); // a new table shows at once
            }
            counts.rows += qint64(batch.rowStarts.size());
            counts.units += batch.text.size();
            if (batch.tableEnd)
                ++counts.tablesDone;
            if (!batch.failure.isEmpty())
                passOver(current, batch.failure, outcome);
            hooks.batch(batch);
        }
    };

    const LoginDeadline deadline;
    std::shared_ptr<ScanControl> reading = control.shared_from_this();
    try {
        platform::OffThread::run(
            [channel, reading, plan](const std::function<void()>& wake) { readServer(plan, *reading, *channel, wake); },
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
    WholeScanText appender;
    ScanHooks hooks;
    hooks.batch = [&](ScanBatch& batch) {
        if (batch.table)
            status(indexingStatus(batch.table->table.name));
        appender.append(batch, text, origins);
    };
    hooks.progress = [](const ScanCounts&) {};
    hooks.yield = yield;
    const auto control = std::make_shared<ScanControl>();
    return scanInBatches(ScanPlan::of(fields), *control, hooks);
}

} // namespace rq
