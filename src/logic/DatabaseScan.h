#pragma once

#include "logic/ConnectionString.h"
#include "logic/TextOrigins.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace rq {

// The program-wide text of the database: every field of every row of every user table, each followed
// by a carriage return, with where each field came from and how the text was gathered.
struct DatabaseTextState {
    QString DatabaseText;
    // A new object for every scan, so that a command that took the text and its origins at its start
    // keeps a matching pair even if a command run during its yields gathers the text afresh.
    std::shared_ptr<TextOrigins> origins = std::make_shared<TextOrigins>();
    QString gatheredWith; // the connection string of the scan that gathered it
    bool complete = false;
    bool scanning = false;
};

// A table as the driver's tables list names it; the schema is empty where the driver gives none.
struct TableName {
    QString schema;
    QString name;
    QString qualified() const; // "Sales.Orders", or "Orders" without a schema
};

// Tables of type "TABLE" whose upper-cased name holds no "SYS".
bool isUserTable(const QString& type, const QString& name);
// SELECT * FROM [schema].[name], or [name] alone without a schema; "]" doubled inside the brackets.
QString tableQuery(const TableName& table);
QString indexingStatus(const QString& tableName);

using StatusLine = std::function<void(const QString&)>;

// What a scan that reached its end could not read: tables passed over, and the driver's message for the
// first of them.
struct ScanOutcome {
    QStringList passedOver;
    QString firstFailure;
    // One report for the whole scan, or empty when every table was read.
    QString report() const;
};

// Opens its own connection, lists the user tables, and appends every field of each (Null as empty
// text) and a carriage return to `text`, recording in `origins` where each came from and showing each
// table on the status line. The driver is called on a thread of its own; this thread appends whole
// fields as they arrive and lets events run through `yield` meanwhile, so the window stays usable
// however slow the server. A table that cannot be read is passed over (what was read of it, in whole
// values, stays) and named in the outcome; a failure to connect or to list the tables, or a connection
// lost part way, ends the scan with an exception, keeping what was appended.
ScanOutcome ScanDatabase(const ConnectionFields& fields, QString& text, TextOrigins& origins, const StatusLine& status,
                         const std::function<bool()>& yield);

// Gathers the text afresh when it is empty, was gathered with another connection string, or was left
// incomplete by a failed scan. Never starts a scan inside another: a command started during a scan's
// yields works on the text gathered so far. Failures of the scan pass to the caller, and so does the
// report of tables passed over, after the text is marked complete (it is not gathered again for them).
void gatherDatabaseText(DatabaseTextState& state, const ConnectionFields& fields, const StatusLine& status,
                        const std::function<bool()>& yield);

} // namespace rq
