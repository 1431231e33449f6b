#pragma once

#include "logic/connection/ConnectionString.h"
#include "logic/scan/ScanBatch.h"
#include "logic/scan/ScanControl.h"
#include "logic/scan/ScanCounts.h"
#include "logic/scan/ScanPlan.h"
#include "logic/scan/TableChoice.h"
#include "logic/text/TextOrigins.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace rq {

QString indexingStatus(const QString& tableName);

using StatusLine = std::function<void(const QString&)>;

// How a scan ended that did not fail: the tables passed over, with the driver's message for the first (a table
// left for a lock names its reason itself), the databases that could not be opened, and what was read other
// than asked.
struct ScanOutcome {
    QStringList passedOver;
    QString firstFailure;
    QStringList passedOverWhy;       // each table passed over and why: "dbo.Secret: <the driver's message>"
    QStringList databasesPassedOver; // each with the driver's message
    QStringList notes;
    bool stopped = false;
    ScanCounts counts;
    // One report for the whole scan, or empty when every table was read.
    QString report() const;

    // What the window tells of a scan that passed something over: a sentence or two, then a line for each
    // database and table passed over with its reason. Empty where nothing was.
    struct Notice {
        QString text;
        QStringList lines;
    };
    Notice notice() const;
};

// What a scan tells whoever runs it, on the thread that runs it.
struct ScanHooks {
    std::function<void(ScanBatch&)> batch;           // every batch of rows, in order
    std::function<void(const ScanCounts&)> progress; // many times a second, and once at the end
    std::function<bool()> yield;                     // lets pending events run; true when they did
};

// The connection string a scan opens: the program's, and for FreeTDS the largest packets, which the server
// may grant smaller.
QString scanConnectionString(const ConnectionFields& fields, const ConnectionSecurity& security = storedSecurity());

// Reads what the plan chooses on a thread of its own while this thread takes each batch as it arrives, so that
// the window stays usable however slow the server. A table that cannot be read is passed over and named in
// the outcome, and so is a database that cannot be opened where several are read; once `control` is stopped
// the scan ends within a second, keeping the whole rows handed over. A failure to connect (also at the login
// deadline) or to list, or a connection lost part way, ends the scan with an exception.
ScanOutcome scanInBatches(const ScanPlan& plan, ScanControl& control, const ScanHooks& hooks);

// Every field of each user table (Null as empty text) and a carriage return appended to `text`, where each
// came from recorded in `origins`, each table shown on the status line.
ScanOutcome ScanDatabase(const ConnectionFields& fields, QString& text, TextOrigins& origins, const StatusLine& status,
                         const std::function<bool()>& yield);

} // namespace rq
