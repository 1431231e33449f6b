#pragma once

#include "logic/text/TableName.h"
#include "logic/text/TextOrigins.h"

#include <QString>

// The SQL that Rowquarry writes: every name and value it puts into a statement is quoted here.
namespace rq {

// A name as SQL Server quotes it: [name], "]" doubled inside the brackets.
QString bracketed(QString identifier);

// SELECT * FROM [schema].[name], or [name] alone without a schema.
QString tableQuery(const TableName& table);

// A query that selects the row an item came from, to run in SQL Server's own tools:
//   SELECT * FROM [dbo].[Customers] WHERE [CustomerID] = 42
// each key value written for its type (numbers as they are, text as N'...' with quotes doubled, GUIDs and
// dates quoted, binary as 0x...). A table without a primary key has no such query: the text says so, and
// which row the scan read it as.
QString rowQuery(const Origin& origin);

} // namespace rq
