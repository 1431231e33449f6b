#pragma once

#include "logic/ConnectionString.h"

#include <QString>
#include <functional>

namespace rq {

// The program-wide text of the database: every field of every row of every user table, each followed
// by a carriage return, with what the program needs to know about how it was gathered.
struct DatabaseTextState {
    QString DatabaseText;
    QString gatheredWith; // the connection string of the scan that gathered it
    bool complete = false;
    bool scanning = false;
};

// Tables of type "TABLE" whose upper-cased name holds no "SYS".
bool isUserTable(const QString& type, const QString& name);
QString tableQuery(const QString& tableName);
QString indexingStatus(const QString& tableName);

using StatusLine = std::function<void(const QString&)>;

// Opens its own connection, lists the user tables, and appends every field of each (Null as empty
// text) and a carriage return to `text`, showing each table on the status line and letting pending events
// run through `yield`. Any failure ends the
// scan with an exception after closing the connection; what was appended stays.
void ScanDatabase(const ConnectionFields& fields, QString& text, const StatusLine& status,
                  const std::function<bool()>& yield);

// Gathers the text afresh when it is empty, was gathered with another connection string, or was left
// incomplete by a failed scan. Never starts a scan inside another: a command started during a scan's
// yields works on the text gathered so far. Failures of the scan pass to the caller.
void gatherDatabaseText(DatabaseTextState& state, const ConnectionFields& fields, const StatusLine& status,
                        const std::function<bool()>& yield);

} // namespace rq
