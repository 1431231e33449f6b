#pragma once

#include "logic/connection/ConnectionString.h"
#include "logic/scan/ScanBatch.h"
#include "logic/scan/ScanControl.h"
#include "logic/scan/ScanCounts.h"
#include "logic/scan/TableChoice.h"
#include "logic/text/TextOrigins.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace rq {

// The program-wide text of the database: every field of every row of every user table, each followed
// by a carriage return, with where each field came from and how the text was gathered.
struct DatabaseTextState {
    QString DatabaseText;
    // A new object for every scan, so that a command that took the text and its origins at its start
    // keeps a matching pair even if a command run during its yields gathers the text afresh.
    std::shared_ptr<TextOrigins> origins = std::make_shared<TextOrigins>();
    QString gatheredWith;  // the connection string and table choice of the scan that gathered it
    bool complete = false; // every chosen table was read, or passed over and named
    bool stopped = false;  // the user stopped the scan: the text is partial, and kept until a new read
    bool scanning = false;
    std::shared_ptr<ScanControl> control; // the running scan's, while one runs
    std::optional<ScanSummary> lastScan;  // how the text was read
};

// A name as SQL Server quotes it: [name], "]" doubled inside the brackets.
QString bracketed(QString identifier);
// SELECT * FROM [schema].[name], or [name] alone without a schema.
QString tableQuery(const TableName& table);
QString indexingStatus(const QString& tableName);

using StatusLine = std::function<void(const QString&)>;

// How a scan ended that did not fail: the tables passed over, with the driver's message for the first.
struct ScanOutcome {
    QStringList passedOver;
    QString firstFailure;
    bool stopped = false;
    ScanCounts counts;
    // One report for the whole scan, or empty when every table was read.
    QString report() const;
};

// What a scan tells whoever runs it, on the thread that runs it.
struct ScanHooks {
    std::function<void(ScanBatch&)> batch;           // every batch of rows, in order
    std::function<void(const ScanCounts&)> progress; // many times a second, and once at the end
    std::function<bool()> yield;                     // lets pending events run; true when they did
};

// The connection string a scan opens: the program's, and for FreeTDS the largest packets, which the server
// may grant smaller.
QString scanConnectionString(const ConnectionFields& fields);

// Reads the chosen tables on a thread of its own while this thread takes each batch as it arrives, so that
// the window stays usable however slow the server. A table that cannot be read is passed over and named in
// the outcome; once `control` is stopped the scan ends within a second, keeping the whole rows handed over.
// A failure to connect (also at the login deadline) or to list the tables, or a connection lost part way,
// ends the scan with an exception.
ScanOutcome scanDatabase(const QString& connectionString, const TableChoice& choice, ScanControl& control,
                         const ScanHooks& hooks);

// Every field of each user table (Null as empty text) and a carriage return appended to `text`, where each
// came from recorded in `origins`, each table shown on the status line.
ScanOutcome ScanDatabase(const ConnectionFields& fields, QString& text, TextOrigins& origins, const StatusLine& status,
                         const std::function<bool()>& yield);

// Every table the database lists, read on a thread of its own while `whileWaiting` runs (and lets the window
// repaint); gives up at the login deadline. Throws what the driver threw.
QList<ListedTable> listDatabaseTables(const QString& connectionString, const std::function<void()>& whileWaiting);

// What the window shows of a scan while it runs.
struct ScanView {
    StatusLine status;                               // "Indexing ORDERS to be searched. Please wait..."
    std::function<void(const ScanCounts&)> progress; // may be empty
};

enum class Gathering {
    WhenNeeded, // when the text is empty, was gathered with another connection or table choice, or failed
    Again,      // now, unless a scan of the same is running
};

// Gathers the text afresh when asked to. A command started during a scan's yields works on the text
// gathered so far when it wants the same database; when it wants another, the running scan is stopped and
// this one reads. Returns false when a command run during this scan's yields took the text over for another
// database: the caller's text is gone. Failures of the scan pass to the caller, and so does the report of
// tables passed over, after the text is marked complete (it is not gathered again for them).
bool gatherDatabaseText(DatabaseTextState& state, const ConnectionFields& fields, const TableChoice& choice,
                        const ScanView& view, const std::function<bool()>& yield,
                        Gathering when = Gathering::WhenNeeded);
inline bool gatherDatabaseText(DatabaseTextState& state, const ConnectionFields& fields, const StatusLine& status,
                               const std::function<bool()>& yield)
{
    return gatherDatabaseText(state, fields, TableChoice{}, ScanView{status, {}}, yield);
}

} // namespace rq
