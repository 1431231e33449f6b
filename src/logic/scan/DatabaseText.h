#pragma once

#include "logic/connection/ConnectionString.h"
#include "logic/scan/DatabaseScan.h"
#include "logic/scan/ScanControl.h"
#include "logic/scan/ScanCounts.h"
#include "logic/scan/ScanText.h"
#include "logic/scan/TableChoice.h"
#include "logic/search/ExtractionSession.h"
#include "logic/text/TextBlock.h"
#include "logic/text/TextOrigins.h"

#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace rq {

// The program-wide text of the database: every field of every row of every user table, each followed
// by a carriage return, with where each field came from and how the text was gathered.
struct DatabaseTextState {
    // The text in blocks of whole rows of one table, packed, in text order, each with its origins. A command
    // takes the list at its start and keeps it whole even if a command run during its yields gathers the
    // text afresh.
    std::vector<TextBlockPtr> DatabaseText;
    qsizetype rows = 0; // in the blocks
    // What the blocks may keep in memory, packed; past it a scan goes on without keeping further tables.
    qint64 budgetBytes = 0; // 0: no limit
    // What the kept blocks take, packed (counted as each is packed, off the window thread).
    std::shared_ptr<std::atomic<qint64>> keptBytes = std::make_shared<std::atomic<qint64>>(0);
    // Tables read but not kept, past the budget, in text order: later searches read them again.
    QList<TableName> notKept;
    int tablesRead = 0; // tables with rows that the last scan read
    // The plan the text was gathered with, and the tables its one database listed: where only the table choice
    // changes, the tables no longer chosen are dropped and those newly chosen read alone.
    std::optional<ScanPlan> gatheredPlan;
    std::optional<QList<ListedTable>> listed;
    // While a scan runs: ends the block being written so that a search can take it.
    std::function<void()> sealWriting;
    QString gatheredWith;  // the plan of the scan that gathered it (ScanPlan::signature)
    bool complete = false; // every chosen table was read, or passed over and named
    bool stopped = false;  // the user stopped the scan: the text is partial, and kept until a new read
    bool scanning = false;
    std::shared_ptr<ScanControl> control; // the running scan's, while one runs
    std::optional<ScanSummary> lastScan;  // how the text was read
};

// What the window shows of a scan while it runs.
struct ScanView {
    StatusLine status;                               // "Indexing ORDERS to be searched. Please wait..."
    std::function<void(const ScanCounts&)> progress; // may be empty
    std::function<void()> begins;                    // a read begins, replacing the text; may be empty
    // The read passed tables or databases over: they are told of here, where given, instead of failing the caller.
    std::function<void(const ScanOutcome&)> passedOver;
};

enum class Gathering {
    WhenNeeded, // when the text is empty, was gathered with another connection or table choice, or failed
    Again,      // now, unless a scan of the same is running
};

// Gathers the text afresh when asked to. A command started during a scan's yields works on the text
// gathered so far when it wants the same database; when it wants another, the running scan is stopped and
// this one reads. Returns false when a command run during this scan's yields took the text over for another
// database: the caller's text is gone. Failures of the scan pass to the caller, and so does the report of
// tables passed over (unless the view takes it), after the text is marked complete (it is not gathered again for
// them).
bool gatherDatabaseText(DatabaseTextState& state, const ScanPlan& plan, const ScanView& view,
                        const std::function<bool()>& yield, Gathering when = Gathering::WhenNeeded,
                        qsizetype blockUnits = kTextBlockUnits);

// Searches the tables the budget left unkept, read again as the command line reads them: each block searched as
// it arrives and let go. False when `stopped` ended it.
bool searchTablesNotKept(const DatabaseTextState& state, ExtractionSession& session, const StatusLine& status,
                         const std::function<bool()>& yield, const std::function<bool()>& stopped);

// The budget of the packed text in bytes: `storedMegabytes` where it is a positive number ("0.5" too), else half the
// machine's physical memory.
qint64 textMemoryBudget(const QString& storedMegabytes);

// The blocks' text as one string, and the field that holds a position of it: for tests and for a look at a
// small text.
QString wholeText(const std::vector<TextBlockPtr>& blocks);
Origin originAt(const std::vector<TextBlockPtr>& blocks, qsizetype position);

// "kept 40 of 120 tables; searches read the rest again", or empty when every table read was kept.
QString keptNotice(const DatabaseTextState& state);
inline bool gatherDatabaseText(DatabaseTextState& state, const ConnectionFields& fields, const StatusLine& status,
                               const std::function<bool()>& yield)
{
    return gatherDatabaseText(state, ScanPlan::of(fields), ScanView{status, {}, {}, {}}, yield);
}

} // namespace rq
