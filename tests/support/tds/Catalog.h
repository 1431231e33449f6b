#pragma once

// The catalogue as result sets: what the catalog procedures and catalog queries answer about the described
// databases, in SQL Server's columns and order.
#include "support/TdsServer.h"

namespace rq::test::tds {

// sp_tables: every table and view of the database, ordered by type, owner and name.
TdsTable tableListing(const TdsDatabase& database);
// sp_pkeys: the key columns of the tables of that name (and owner, unless empty), in key order.
TdsTable primaryKeyOf(const TdsDatabase& database, const QString& table, const QString& owner);
// sys.databases: name, state_desc, HAS_DBACCESS(name) and snapshot_isolation_state of each, ordered by name.
TdsTable databaseList(const QList<TdsDatabase>& databases);
// The key columns of every table of the database with a primary key: schema, table, column and key ordinal,
// ordered by the first two and the ordinal.
TdsTable keyColumns(const TdsDatabase& database);

} // namespace rq::test::tds
