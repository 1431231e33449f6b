#pragma once

#include "logic/text/TableName.h"
#include "logic/text/TextOrigins.h"

#include <QString>

// The SQL that Rowquarry writes: every name and value it puts into a statement is quoted here.
namespace rq {

// A name as SQL Server quotes it: [name], "]" doubled inside the brackets.
QString bracketed(QString identifier);

// SELECT * FROM [schema].[name], or [name] alone without a schema; [database].[schema].[name] where the
// database is named.
QString tableQuery(const TableName& table);

// How a session reads rows that other sessions are changing.
enum class IsolationLevel {
    Committed,   // the server's default: rows other sessions have committed; waits for their locks
    Uncommitted, // takes and waits for no lock: rows another session has not committed may show
    Snapshot,    // the rows as they stood when each statement began, where the database allows it
};

// The statements that set a SQL Server session up for a scan, as one batch: long values whole (some drivers cut
// them at a few kilobytes otherwise), the lock time-out (0: wait for ever) and the isolation level.
QString sessionSetUp(int lockTimeoutSeconds, IsolationLevel isolation);

// The catalogue query that lists the server's databases: name, state_desc, HAS_DBACCESS(name) and
// snapshot_isolation_state, by name.
QString databasesQuery();

// The catalogue query that lists the primary key columns of every table of the session's database: schema,
// table, column and its place in the key, in key order.
QString primaryKeysQuery();

// A query that selects the row an item came from, to run in SQL Server's own tools:
//   SELECT * FROM [dbo].[Customers] WHERE [CustomerID] = 42
// each key value written for its type: numbers as they are; text quoted with quotes doubled, as N'...' where it
// is national or not plain ASCII, control characters as NCHAR(n) joined with +; dates in the forms every session
// language reads alike ('2024-03-04T13:45:30.123', '20240304'); GUIDs quoted; binary as 0x...; a sql_variant
// as each type its text can be, [Key] IN (42, 42E0, 0x42, N'42'). A table without a primary key has no such
// query: the text says so, and which row the scan read it as.
QString rowQuery(const Origin& origin);

} // namespace rq
