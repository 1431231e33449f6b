#pragma once

#include "logic/text/TextOrigins.h"

#include <QString>

namespace rq {

// A query that selects the row an item came from, to run in SQL Server's own tools:
//   SELECT * FROM [dbo].[Customers] WHERE [CustomerID] = 42
// each key value written for its type (numbers as they are, text as N'...' with quotes doubled, GUIDs and
// dates quoted, binary as 0x...). A table without a primary key has no such query: the text says so, and
// which row the scan read it as.
QString rowQuery(const Origin& origin);

} // namespace rq
